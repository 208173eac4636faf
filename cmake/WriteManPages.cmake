# Writes OUTPUT_DIR/tuda.1, and OUTPUT_DIR/tuda-NAME.1 for each subcommand NAME that
# `PROGRAM --help` lists as built, with HELP2MAN. A subcommand's page is made from `PROGRAM NAME --help`
# through a two-line script named tuda-NAME (in OUTPUT_DIR-programs), since help2man asks a
# program for its help. Each program in OTHER_PROGRAMS (paths separated by |) gets a page
# from its own --help, unless it is one that a subcommand runs (tuda-NAME): its page is the
# subcommand's, the same help with the subcommand's summary for a name. PROGRAM --version gives
# the version.
set(scriptDir "${OUTPUT_DIR}-programs")
file(REMOVE_RECURSE "${OUTPUT_DIR}" "${scriptDir}")
file(MAKE_DIRECTORY "${OUTPUT_DIR}" "${scriptDir}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(failed)
    message(FATAL_ERROR "${ARGN}: ${failed}\n${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

run("${PROGRAM}" --version)
string(REGEX REPLACE "^tuda ([^\n]*)\n.*" "\\1" version "${output}")
run("${PROGRAM}" --help)
string(REGEX MATCH "\nSubcommands:\n([^\n]+\n)+" listing "${output}")
string(REGEX MATCHALL "\n  [a-z]+ +[^\n]+" entries "${listing}")

set(seeAlso "")
set(pages "")
foreach(entry IN LISTS entries)
  # A program beside tuda that this build did not make has no page.
  if(entry MATCHES " \\(not built\\)$")
    continue()
  endif()
  string(REGEX REPLACE "^\n  ([a-z]+) +(.*)$" "\\1" name "${entry}")
  string(REGEX REPLACE "^\n  ([a-z]+) +(.*)$" "\\2" summary "${entry}")
  set(script "${scriptDir}/tuda-${name}")
  file(WRITE "${script}" "#!/bin/sh\nexec '${PROGRAM}' ${name} \"$@\"\n")
  file(CHMOD "${script}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  string(APPEND seeAlso ".BR tuda-${name} (1)\n")
  list(APPEND pages "${name}|${summary}")
endforeach()

# help2man takes two spaces to end a subcommand's name; the longest name has only one.
file(WRITE "${scriptDir}/tuda" "#!/bin/sh\n'${PROGRAM}' \"$@\" | sed 's/^  \\([a-z]*\\) /  \\1  /'\n")
file(CHMOD "${scriptDir}/tuda" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${scriptDir}/tuda.see-also" "[SEE ALSO]\n${seeAlso}")
file(WRITE "${scriptDir}/subcommand.see-also" "[SEE ALSO]\n.BR tuda (1)\n")
set(common --no-info --section=1 --source=tuda)
run("${HELP2MAN}" ${common} "--version-string=tuda ${version}" "--name=decode and inspect UK MIDAS data files of the TUDA detector array"
    "--include=${scriptDir}/tuda.see-also" "--output=${OUTPUT_DIR}/tuda.1" "${scriptDir}/tuda")
foreach(page IN LISTS pages)
  string(REGEX REPLACE "^([^|]+)\\|(.*)$" "\\1" name "${page}")
  string(REGEX REPLACE "^([^|]+)\\|(.*)$" "\\2" summary "${page}")
  string(SUBSTRING "${summary}" 0 1 first)
  string(SUBSTRING "${summary}" 1 -1 rest)
  string(TOLOWER "${first}" first)
  set(summary "${first}${rest}")
  run("${HELP2MAN}" ${common} "--version-string=tuda-${name} ${version}" "--name=${summary}" "--include=${scriptDir}/subcommand.see-also"
      "--output=${OUTPUT_DIR}/tuda-${name}.1" "${scriptDir}/tuda-${name}")
endforeach()
string(REGEX REPLACE "\\|$" "" otherPrograms "${OTHER_PROGRAMS}")
string(REPLACE "|" ";" otherPrograms "${otherPrograms}")
foreach(program IN LISTS otherPrograms)
  get_filename_component(name "${program}" NAME)
  if(EXISTS "${OUTPUT_DIR}/${name}.1")
    continue()
  endif()
  run("${HELP2MAN}" ${common} "--version-string=${name} ${version}"
      "--include=${scriptDir}/subcommand.see-also" "--output=${OUTPUT_DIR}/${name}.1" "${program}")
endforeach()

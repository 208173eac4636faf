# Manual pages for tuda, for each subcommand its overview lists and for every other program
# installed with tuda_install_program, made by help2man from the programs' own help every time
# one is built, so that they say what --help says. Included after every program is made.
# On when help2man is found.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(help2manFound ON)
else()
  set(help2manFound OFF)
  message(STATUS "help2man not found: no manual pages (scripts/deps installs it)")
endif()
option(TUDA_MAN_PAGES "Make and install the manual pages (needs help2man)" ${help2manFound})
if(TUDA_MAN_PAGES)
  if(NOT HELP2MAN)
    message(FATAL_ERROR "TUDA_MAN_PAGES needs help2man (scripts/deps installs it), or -DTUDA_MAN_PAGES=OFF")
  endif()
  set(tudaManDir "${CMAKE_BINARY_DIR}/man")
  # The other installed programs, by path, separated by | (a list would split the argument).
  get_property(tudaPrograms GLOBAL PROPERTY TUDA_INSTALLED_PROGRAMS)
  list(REMOVE_ITEM tudaPrograms tuda)
  set(tudaOtherPrograms "")
  foreach(program IN LISTS tudaPrograms)
    string(APPEND tudaOtherPrograms "$<TARGET_FILE:${program}>|")
  endforeach()
  add_custom_command(
    OUTPUT "${tudaManDir}/tuda.1"
    COMMAND "${CMAKE_COMMAND}" "-DHELP2MAN=${HELP2MAN}" "-DPROGRAM=$<TARGET_FILE:tuda>"
            "-DOTHER_PROGRAMS=${tudaOtherPrograms}" "-DOUTPUT_DIR=${tudaManDir}"
            -P "${CMAKE_CURRENT_LIST_DIR}/WriteManPages.cmake"
    DEPENDS tuda ${tudaPrograms} "${CMAKE_CURRENT_LIST_DIR}/WriteManPages.cmake"
    COMMENT "Writing the manual pages" VERBATIM)
  add_custom_target(tuda_man_pages ALL DEPENDS "${tudaManDir}/tuda.1")
  install(DIRECTORY "${tudaManDir}/" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT runtime
          FILES_MATCHING PATTERN "*.1")
endif()

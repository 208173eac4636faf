# Writes OUTPUT, the definition of TudaVersion(): VERSION, followed by the git description of
# SOURCE_DIR when that folder is the top of a git checkout (and not, say, an unpacked source
# tree inside someone else's). Leaves OUTPUT alone when its text would not change.
set(text "${VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed)
    get_filename_component(top "${top}" REALPATH)
    get_filename_component(source "${SOURCE_DIR}" REALPATH)
  endif()
  if(NOT failed AND top STREQUAL source)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --tags --always --dirty
                    OUTPUT_VARIABLE description OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                    RESULT_VARIABLE failed)
    if(NOT failed AND NOT description STREQUAL "")
      set(text "${VERSION} (git ${description})")
    endif()
  endif()
endif()
set(source "// Written by the build: the version of this build.\n#include \"tools/process/Version.h\"\n\nconst char* TudaVersion() { return \"${text}\"; }\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUTPUT}" "${source}")
endif()

# Where an installed tree puts each part, relative to its prefix, and the version every part
# reports. Included before the targets are made: the program is told where its plug-in lies.
include(GNUInstallDirs)

set(TUDA_INSTALL_PLUGINDIR "${CMAKE_INSTALL_LIBDIR}/tuda" CACHE STRING
    "Where the plug-in and the host library go, relative to the prefix")
set(TUDA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/tuda" CACHE STRING
    "Where the CMake package goes, relative to the prefix")
set(TUDA_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig" CACHE STRING
    "Where tuda.pc goes, relative to the prefix")
set(TUDA_INSTALL_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/tuda" CACHE STRING
    "Where the README and the licence go, relative to the prefix")

# The plug-in folder as seen from the program's folder: the program looks there when no plug-in
# lies beside it, and the run path of every installed program leads there for libkxhost.so.
file(RELATIVE_PATH TUDA_PLUGINDIR_FROM_PROGRAM "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${TUDA_INSTALL_PLUGINDIR}")

set(tudaGeneratedDir "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/InstallDirs.h.in" "${tudaGeneratedDir}/tools/session/InstallDirs.h" @ONLY)
include_directories("${tudaGeneratedDir}")

# The version: the project's, followed by the git description when the sources are a checkout.
# The description is looked up at every build, so that a new commit shows without configuring
# again; the source is rewritten only when it changes.
set(tudaVersionSource "${tudaGeneratedDir}/tools/process/Version.cxx")
set(tudaWriteVersion
    "${CMAKE_COMMAND}" "-DVERSION=${PROJECT_VERSION}" "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "-DOUTPUT=${tudaVersionSource}" -P "${CMAKE_CURRENT_LIST_DIR}/WriteVersion.cmake")
execute_process(COMMAND ${tudaWriteVersion})
add_custom_target(tudaversion_describe COMMAND ${tudaWriteVersion} BYPRODUCTS "${tudaVersionSource}"
                  COMMENT "" VERBATIM)
add_library(tudaversion STATIC "${tudaVersionSource}")
add_dependencies(tudaversion tudaversion_describe)

# Installs a program into the program folder, with a run path that finds libkxhost.so in the
# plug-in folder wherever the tree is moved. One line per program: tuda_install_program(target),
# in the folder that makes the target.
function(tuda_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${TUDA_PLUGINDIR_FROM_PROGRAM}")
  install(TARGETS ${target} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime)
  # Each installed program gets a manual page made from its own help.
  set_property(GLOBAL APPEND PROPERTY TUDA_INSTALLED_PROGRAMS ${target})
endfunction()

# Installs a Python package, its extension module `target` and the package's other FILES, as
# the folder PACKAGE where the system's python3 finds it: under /usr (and so in the packages,
# which CPack installs there) in lib/python3/dist-packages, under another prefix in
# lib/python3.X/dist-packages, unless TUDA_INSTALL_PYTHONDIR names the folder. The prefix is known
# only when installing, so the folder is chosen then.
# One line per package: tuda_install_python_module(target PACKAGE name FILES file...).
function(tuda_install_python_module target)
  cmake_parse_arguments(PARSE_ARGV 1 module "" "PACKAGE" "FILES")
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(TUDA_INSTALL_PYTHONDIR "" CACHE STRING
      "Where Python packages go, relative to the prefix (empty: where the system's python3 finds them)")
  set(folder "lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/dist-packages")
  if(TUDA_INSTALL_PYTHONDIR)
    set(folder "${TUDA_INSTALL_PYTHONDIR}")
    install(CODE "set(tudaPythonDir \"${folder}\")" COMPONENT python)
  else()
    install(CODE "set(tudaPythonDir \"${folder}\")
                  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
                    set(tudaPythonDir lib/python3/dist-packages)
                  endif()"
            COMPONENT python)
  endif()
  # Under /usr the folder lies as deep as the versioned one.
  file(RELATIVE_PATH fromModule "/prefix/${folder}/${module_PACKAGE}" "/prefix/${TUDA_INSTALL_PLUGINDIR}")
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${fromModule}")
  install(TARGETS ${target} LIBRARY DESTINATION "\${tudaPythonDir}/${module_PACKAGE}" COMPONENT python)
  install(FILES ${module_FILES} DESTINATION "\${tudaPythonDir}/${module_PACKAGE}" COMPONENT python)
endfunction()

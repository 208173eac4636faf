# Debian packages of the installed tree, one per install component, made by `cpack -G DEB` in the
# build folder (or scripts/package): tuda (the program, the plug-in, the host library, the manual
# pages and the README), libtuda-dev (the reader's headers and static library, the CMake package
# and tuda.pc) and python3-tuda (the module). Name and version are the project's, the
# architecture the system's, the shared-library dependencies dpkg-shlibdeps's.
set(CPACK_PACKAGE_NAME tuda)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "The tuda developers <tuda@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Programs and shared libraries without their debugging sections; the static reader keeps its
# symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# libkxhost.so is the package's own, found beside the plug-in rather than in a package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/bin")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME tuda)
string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "Source-node plug-in and command-line program for UK MIDAS data files of TUDA\n"
    "The tuda program runs, decodes, checks, summarises, exports and draws list-mode data "
    "files;\n"
    "the plug-in UKMidasFile.kxp is the data-flow framework's source node.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtuda-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "Block reader and event decoder for UK MIDAS data files of TUDA (development files)\n"
    "Headers and static library of the reader, with a CMake package (find_package(tuda), "
    "target\n"
    "tuda::reader) and a pkg-config file (tuda).")
# The static reader brings its link dependencies along as development packages.
if(TUDA_COMPRESSION)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libarchive-dev, zlib1g-dev, libbz2-dev, liblzma-dev, libzstd-dev, liblz4-dev, pkg-config")
  if(TUDA_ISAL)
    string(APPEND CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS ", libisal-dev")
  endif()
endif()

# The module is built for one Python and against one numpy, which dpkg-shlibdeps cannot see, and
# links the host library of the tuda package of the same version.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tuda)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
string(CONCAT CPACK_DEBIAN_PYTHON_DESCRIPTION
    "Python module for UK MIDAS data files of TUDA\n"
    "Events as batches of numpy arrays, decoded by the tuda reader.")
if(TUDA_PYTHON)
  find_package(Python3 REQUIRED COMPONENTS Interpreter NumPy)
  math(EXPR nextMinor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${nextMinor}), python3-numpy (>= 1:${Python3_NumPy_VERSION}), tuda (= ${PROJECT_VERSION})")
endif()

include(CPack)

# What `cmake --install` lays out under the prefix, every path relative to it so that the tree
# can be moved: programs in bin/ (tuda_install_program), the plug-in and the host library in the
# plug-in folder, the reader as a static library with its headers, a CMake package and tuda.pc,
# the README and the licence. Components: runtime, development (and python, for the module).
include(CMakePackageConfigHelpers)

# The plug-in finds libkxhost.so beside itself.
set_target_properties(UKMidasFile PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS UKMidasFile kxhost LIBRARY DESTINATION "${TUDA_INSTALL_PLUGINDIR}" COMPONENT runtime)

# The reader: a consumer includes "reader/TTudaData.h" and links tuda::reader.
set_target_properties(tudareader PROPERTIES EXPORT_NAME reader)
target_include_directories(tudareader INTERFACE "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/tuda>")
install(TARGETS tudareader EXPORT tudaTargets
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development)
file(GLOB readerHeaders "${CMAKE_SOURCE_DIR}/reader/*.h")
install(FILES ${readerHeaders} DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/tuda/reader" COMPONENT development)

install(EXPORT tudaTargets NAMESPACE tuda:: DESTINATION "${TUDA_INSTALL_CMAKEDIR}" COMPONENT development)
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/tudaConfig.cmake.in"
                              "${CMAKE_BINARY_DIR}/tudaConfig.cmake"
                              INSTALL_DESTINATION "${TUDA_INSTALL_CMAKEDIR}")
write_basic_package_version_file("${CMAKE_BINARY_DIR}/tudaConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_BINARY_DIR}/tudaConfig.cmake" "${CMAKE_BINARY_DIR}/tudaConfigVersion.cmake"
        DESTINATION "${TUDA_INSTALL_CMAKEDIR}" COMPONENT development)

# tuda.pc finds the prefix from its own folder, however deep the library folder lies.
file(RELATIVE_PATH TUDA_PREFIX_FROM_PKGCONFIG "/prefix/${TUDA_INSTALL_PKGCONFIGDIR}" "/prefix")
string(REGEX REPLACE "/$" "" TUDA_PREFIX_FROM_PKGCONFIG "${TUDA_PREFIX_FROM_PKGCONFIG}")
# libarchive is named by its library alone: its own pkg-config file asks, under --static, for
# development files of libraries the reader never calls. libbz2 has no pkg-config file.
if(TUDA_COMPRESSION)
  set(TUDA_PC_REQUIRES "zlib libzstd liblz4 liblzma")
  set(TUDA_PC_LIBS "-larchive -lbz2 -pthread")
endif()
if(TUDA_ISAL)
  string(APPEND TUDA_PC_REQUIRES " libisal")
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/tuda.pc.in" "${CMAKE_BINARY_DIR}/tuda.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/tuda.pc" DESTINATION "${TUDA_INSTALL_PKGCONFIGDIR}" COMPONENT development)

# The licence goes beside the README once the sources carry one.
file(GLOB licence "${CMAKE_SOURCE_DIR}/LICENSE*" "${CMAKE_SOURCE_DIR}/COPYING*")
install(FILES "${CMAKE_SOURCE_DIR}/README.md" ${licence} DESTINATION "${TUDA_INSTALL_DOCDIR}" COMPONENT runtime)

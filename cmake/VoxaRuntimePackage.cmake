# The runtime as a package for other projects, two ways:
#
#   cmake --install build --prefix P    installs into P
#     include/voxa/*.h                      the public headers (never the folders' own)
#     lib/libvoxaruntime.a
#     lib/cmake/VoxaRuntime/               find_package(VoxaRuntime) -> VoxaRuntime::voxaruntime
#     lib/pkgconfig/voxaruntime.pc          pkg-config --cflags --libs --static voxaruntime
#
# and the build tree itself as a package (build/package/), which the public face test uses to
# compile programs against the runtime exactly as a program outside this tree sees it.
include(CMakePackageConfigHelpers)
set(VOXA_RUNTIME_VERSION 1.0)
set(VOXA_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VoxaRuntime)
set(VOXA_BUILD_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)

install(TARGETS voxaruntime EXPORT VoxaRuntimeTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/runtime/include/voxa DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(EXPORT VoxaRuntimeTargets NAMESPACE VoxaRuntime:: DESTINATION ${VOXA_CMAKE_PACKAGE_DIR})
export(EXPORT VoxaRuntimeTargets NAMESPACE VoxaRuntime::
       FILE ${VOXA_BUILD_PACKAGE_DIR}/VoxaRuntimeTargets.cmake)

write_basic_package_version_file(${VOXA_BUILD_PACKAGE_DIR}/VoxaRuntimeConfigVersion.cmake
                                 VERSION ${VOXA_RUNTIME_VERSION} COMPATIBILITY SameMajorVersion)
foreach(file VoxaRuntimeConfig.cmake VoxaRuntimeDeps.cmake)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/${file} ${VOXA_BUILD_PACKAGE_DIR}/${file} COPYONLY)
endforeach()
install(FILES ${VOXA_BUILD_PACKAGE_DIR}/VoxaRuntimeConfig.cmake
              ${VOXA_BUILD_PACKAGE_DIR}/VoxaRuntimeDeps.cmake
              ${VOXA_BUILD_PACKAGE_DIR}/VoxaRuntimeConfigVersion.cmake
        DESTINATION ${VOXA_CMAKE_PACKAGE_DIR})

# The .pc file finds its prefix from its own place (pcfiledir), so the installed tree can move.
file(RELATIVE_PATH VOXA_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VOXA_PC_TO_PREFIX "${VOXA_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/voxaruntime.pc.in ${CMAKE_BINARY_DIR}/voxaruntime.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/voxaruntime.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# find_package(VoxaRuntime): the runtime's static library as the target VoxaRuntime::voxaruntime,
# whose include path holds the public headers only (#include "voxa/runtime.h"), with the
# libraries it is built on found here for the program: OpenGL and Threads through CMake's
# modules, SDL 1.2, SDL_mixer, SDL_image and LZO2 through pkg-config.
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
find_dependency(OpenGL)
find_dependency(Threads)
include("${CMAKE_CURRENT_LIST_DIR}/VoxaRuntimeDeps.cmake")
if(VoxaRuntime_MISSING_DEPS)
  set(VoxaRuntime_FOUND FALSE)
  set(VoxaRuntime_NOT_FOUND_MESSAGE
      "VoxaRuntime needs ${VoxaRuntime_MISSING_DEPS} (Debian: pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libsdl-image1.2-dev liblzo2-dev libgl-dev)")
  return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/VoxaRuntimeTargets.cmake")

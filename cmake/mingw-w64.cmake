# Cross-compiling for Windows with Debian's mingw-w64 toolchain in its posix
# thread model (std::thread and std::mutex need it). TOLM_WIN_ARCH picks the
# target: x86_64 (default) or i686.
if(NOT TOLM_WIN_ARCH)
  if(DEFINED ENV{TOLM_WIN_ARCH})
    set(TOLM_WIN_ARCH $ENV{TOLM_WIN_ARCH})
  else()
    set(TOLM_WIN_ARCH x86_64)
  endif()
endif()
# Seen again by the try_compile projects CMake starts during configure.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLM_WIN_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOLM_WIN_ARCH})
set(TOOLCHAIN_PREFIX ${TOLM_WIN_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

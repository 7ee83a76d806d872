# Cross-building for 64-bit Windows with Debian's mingw-w64 tools.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLON_MINGW_PREFIX x86_64-w64-mingw32)
# The "-posix" compilers: GCC 12's "-win32" ones have no std::mutex. Their
# thread library is linked statically with the C++ runtime (see
# windows.cmake), so nothing beyond the system's DLLs travels along.
find_program(CMAKE_C_COMPILER NAMES ${QUILLON_MINGW_PREFIX}-gcc-posix ${QUILLON_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUILLON_MINGW_PREFIX}-g++-posix ${QUILLON_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUILLON_MINGW_PREFIX}-windres REQUIRED)
find_program(QUILLON_WIDL NAMES ${QUILLON_MINGW_PREFIX}-widl widl REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLON_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

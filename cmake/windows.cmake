# The build for Windows (cross-built with mingw-w64, see
# mingw-w64-x86_64.cmake). The system is the component runtime there: the
# platform layer is its import libraries, not our stand-in. The editor is
# not built: there is no Qt for mingw-w64 in the distribution.
add_library(platform_headers INTERFACE)
add_library(platform INTERFACE)
target_link_libraries(platform INTERFACE platform_headers ole32 oleaut32 uuid)

# Everything lands in bin/, and carries its own C++ runtime and thread
# library, so the files load on a clean system.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_link_options(-static)

# The platform's headers that are plain C++ rather than stand-ins for the
# system's (those must not shadow the real ones here).
set(QUILLON_PORTABLE_INCLUDE ${CMAKE_BINARY_DIR}/portable-include)
foreach(header quillon_text.h)
  configure_file(platform/include/${header} ${QUILLON_PORTABLE_INCLUDE}/${header} COPYONLY)
endforeach()
target_include_directories(platform_headers INTERFACE ${QUILLON_PORTABLE_INCLUDE})

# Files, streams and locks.
add_library(quillon_file STATIC platform/file/file_common.cpp platform/file/file_win32.cpp)
target_include_directories(quillon_file PUBLIC platform/file)
target_link_libraries(quillon_file PRIVATE platform_headers)

add_subdirectory(tests/windows)

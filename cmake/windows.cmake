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

add_subdirectory(tests/windows)

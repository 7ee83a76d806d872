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
foreach(header quillon_text.h ole_text.h comobject.h comptr.h)
  configure_file(platform/include/${header} ${QUILLON_PORTABLE_INCLUDE}/${header} COPYONLY)
endforeach()
target_include_directories(platform_headers INTERFACE ${QUILLON_PORTABLE_INCLUDE})

# Files, streams and locks.
add_library(quillon_file STATIC platform/file/file_common.cpp platform/file/file_win32.cpp)
target_include_directories(quillon_file PUBLIC platform/file)
target_link_libraries(quillon_file PRIVATE platform_headers)

# The interface, made from Quillon.idl as on Linux. widl_repair mends what
# widl damages in type libraries; it runs here, so it is built with the
# build machine's compiler.
find_program(QUILLON_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(QUILLON_WIDL_REPAIR ${CMAKE_BINARY_DIR}/build-machine/widl_repair)
add_custom_command(OUTPUT ${QUILLON_WIDL_REPAIR}
  COMMAND ${QUILLON_HOST_CXX} -std=c++20 -O2 -o ${QUILLON_WIDL_REPAIR} ${CMAKE_SOURCE_DIR}/platform/tools/widl_repair.cpp
  DEPENDS ${CMAKE_SOURCE_DIR}/platform/tools/widl_repair.cpp
  COMMENT "widl_repair for the build machine"
  VERBATIM)
add_custom_target(widl_repair_on_build_machine DEPENDS ${QUILLON_WIDL_REPAIR})
include(cmake/QuillonIdl.cmake)

add_subdirectory(component)
add_subdirectory(editor/fields)  # the editor's field table, which the client's check uses
add_subdirectory(cli)
add_subdirectory(tests/windows)

# Interface definitions compiled with widl: the header C++ code includes and
# the binary type library, both made at build time from one .idl file.
#
# widl (mingw-w64-tools) runs on the build machine; the system .idl files it
# imports come with libwine-dev and stdole2.tlb, which `importlib` reads, with
# libwine. Nothing of Wine is needed when the built programs run.

find_program(QUILLON_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
find_path(QUILLON_WIDL_INCLUDE_DIR oaidl.idl
  PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(QUILLON_STDOLE2_DIR stdole2.tlb
  PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/wine/x86_64-windows
        /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
        /usr/lib64/wine/x86_64-windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(QUILLON_IDL_HEADER_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/QuillonIdlHeader.cmake)

# The repair tool runs on the build machine: the target widl_repair
# (platform/CMakeLists.txt), or a program built for the build machine when
# cross-building (windows.cmake sets this).
if(NOT QUILLON_WIDL_REPAIR)
  set(QUILLON_WIDL_REPAIR widl_repair)
endif()

# quillon_idl(IDL file [HEADER out.h] [TYPELIB out.tlb])
# Compiles `file` into the given outputs (absolute paths). The header's
# enumerations get a fixed underlying type (QuillonIdlHeader.cmake). The
# type library is passed through widl_repair (platform/tools), which mends
# the one fault widl 7.0 leaves in it and checks the library identifier
# against the one the .idl file states. With TYPELIB, the library's version is left in
# QUILLON_IDL_VERSION_MAJOR and QUILLON_IDL_VERSION_MINOR.
function(quillon_idl)
  cmake_parse_arguments(ARG "" "IDL;HEADER;TYPELIB" "" ${ARGN})
  get_filename_component(idl "${ARG_IDL}" ABSOLUTE)
  set(widl ${QUILLON_WIDL} --win64 -I${QUILLON_WIDL_INCLUDE_DIR} -L${QUILLON_STDOLE2_DIR})
  if(ARG_HEADER)
    add_custom_command(OUTPUT ${ARG_HEADER}
      COMMAND ${widl} -h -o ${ARG_HEADER}.widl ${idl}
      COMMAND ${CMAKE_COMMAND} -DIN=${ARG_HEADER}.widl -DOUT=${ARG_HEADER} -P ${QUILLON_IDL_HEADER_SCRIPT}
      DEPENDS ${idl} ${QUILLON_IDL_HEADER_SCRIPT}
      BYPRODUCTS ${ARG_HEADER}.widl
      COMMENT "widl: header ${ARG_HEADER}"
      VERBATIM)
  endif()
  if(ARG_TYPELIB)
    file(READ "${idl}" text)
    string(REGEX MATCH "uuid\\(([0-9A-Fa-f-]+)\\)[^]]*\\][ \t\r\n]*library" found "${text}")
    if(NOT found)
      message(FATAL_ERROR "${idl}: no uuid(...) on the library statement")
    endif()
    set(libid "${CMAKE_MATCH_1}")
    if(NOT found MATCHES "version\\(([0-9]+)\\.([0-9]+)\\)")
      message(FATAL_ERROR "${idl}: no version(major.minor) on the library statement")
    endif()
    set(QUILLON_IDL_VERSION_MAJOR ${CMAKE_MATCH_1} PARENT_SCOPE)
    set(QUILLON_IDL_VERSION_MINOR ${CMAKE_MATCH_2} PARENT_SCOPE)
    add_custom_command(OUTPUT ${ARG_TYPELIB}
      COMMAND ${widl} -t -o ${ARG_TYPELIB}.widl ${idl}
      COMMAND ${QUILLON_WIDL_REPAIR} ${ARG_TYPELIB}.widl ${libid} ${ARG_TYPELIB}
      DEPENDS ${idl} ${QUILLON_WIDL_REPAIR}
      BYPRODUCTS ${ARG_TYPELIB}.widl
      COMMENT "widl: type library ${ARG_TYPELIB}"
      VERBATIM)
  endif()
endfunction()

# quillon_embed_typelib(TARGET target TYPELIB file.tlb [SYMBOL name])
# Links the type library into `target` as its TYPELIB resource 1: an ELF
# section named ".rsrc.TYPELIB.1", which LoadTypeLib finds in the library
# file without loading it. With SYMBOL, the data are also reachable in the
# process under `name` (start) and `name`_end (hidden symbols).
function(quillon_embed_typelib)
  cmake_parse_arguments(ARG "" "TARGET;TYPELIB;SYMBOL" "" ${ARGN})
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}_typelib.S)
  set(labels "")
  if(ARG_SYMBOL)
    set(labels ".globl ${ARG_SYMBOL}\n.hidden ${ARG_SYMBOL}\n.globl ${ARG_SYMBOL}_end\n.hidden ${ARG_SYMBOL}_end\n${ARG_SYMBOL}:\n")
  endif()
  set(end "")
  if(ARG_SYMBOL)
    set(end "${ARG_SYMBOL}_end:\n")
  endif()
  # Allocated ("a") so that strip never drops it; aligned for the reader.
  file(WRITE ${asm}.in
    "/* Generated: the type library as resource TYPELIB 1. */\n"
    ".section .rsrc.TYPELIB.1,\"a\",@progbits\n"
    ".balign 16\n"
    "${labels}"
    ".incbin \"${ARG_TYPELIB}\"\n"
    "${end}"
    ".section .note.GNU-stack,\"\",@progbits\n")
  configure_file(${asm}.in ${asm} COPYONLY)
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${ARG_TYPELIB})
  target_sources(${ARG_TARGET} PRIVATE ${asm} ${ARG_TYPELIB})
endfunction()

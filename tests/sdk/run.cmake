# The SDK test: installs the build into a temporary prefix, configures and
# builds the client project in tests/sdk against it, registers the installed
# component in a temporary registry and runs the client.
#   cmake -DBUILD=<build dir> -DWORK=<scratch dir> -DCXX=<compiler> -DFLAGS=<flags> -P run.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${WORK}/client -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/client)
set(ENV{QUILLON_REGISTRY} ${WORK}/registry.txt)
run(${prefix}/bin/quillon register)
run(${WORK}/client/client)
if(NOT output STREQUAL "Version = 256\n")
  message(FATAL_ERROR "the client printed: ${output}")
endif()
file(REMOVE_RECURSE ${WORK})

# Configures and builds the outside host (its build folder is kept: a second run builds what
# changed), then runs it; it finds the driver built beside it. Variables: CHECKOUT, BUILD, GENERATOR, CXX.
function(step name seconds)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status TIMEOUT ${seconds})
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the outside host's ${name} failed: ${status}")
  endif()
endfunction()

set(jobs -j 2)
if(DEFINED ENV{CMAKE_BUILD_PARALLEL_LEVEL})
  set(jobs)
endif()
step(configure 60 ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${BUILD} -G ${GENERATOR}
     -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE= -DVOK_CHECKOUT=${CHECKOUT})
step(build 500 ${CMAKE_COMMAND} --build ${BUILD} --target outside_host pelorad ${jobs})
step(run 20 ${BUILD}/outside_host)

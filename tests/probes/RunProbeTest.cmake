# The README's two commands in order on a machine that lacked packages at first: a build folder
# configured as the quick start does while every probe found nothing (the interpreter, asmjit,
# pybind11, readline, libcsv: the cache entries such a configure leaves), then configured again as
# tools/test.sh does, once everything is installed. Every probe must have looked again: the cache
# holds what it found and the Python tests are registered. SOURCE_DIR is the repository,
# WORK_DIR a scratch folder, GENERATOR the CMake generator.
file(REMOVE_RECURSE ${WORK_DIR})

set(probes QV_PYTHON_EXECUTABLE asmjit_DIR pybind11_DIR READLINE_INCLUDE_DIR READLINE_LIBRARY
           CSV_INCLUDE_DIR CSV_LIBRARY)
set(nothing_found "")
foreach(probe ${probes})
  list(APPEND nothing_found -D${probe}=${probe}-NOTFOUND)
endforeach()

# The first configure may fail (a required library missing); it leaves its cache all the same.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
                        -DQV_BUILD_TESTS=OFF ${nothing_found}
                OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
                        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=ON
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the second configure failed")
endif()

file(READ ${WORK_DIR}/CMakeCache.txt cache)
foreach(probe ${probes})
  if(NOT cache MATCHES "\n${probe}:[A-Z]+=([^\n]*)\n" OR CMAKE_MATCH_1 MATCHES "NOTFOUND$")
    message(FATAL_ERROR "${probe} was not looked for again: '${CMAKE_MATCH_1}'")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} -N --test-dir ${WORK_DIR} OUTPUT_VARIABLE tests)
foreach(test python.pytest python.bench_check python.pip_install cli capi.python)
  if(NOT tests MATCHES " ${test}\n")
    message(FATAL_ERROR "test ${test} is not registered after the second configure")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})

# Installs the build tree BUILD_DIR into a fresh prefix under WORK_DIR, then configures, builds
# and runs the consumer project in CONSUMER_DIR against that prefix alone.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed bin/qvcalc include/qvcalc/control/qvCalc.h include/qvcalc/capi/qvcalc.h
        include/qvcalc/engine/qvExpression.h)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE pc_files ${prefix}/*/qvcalc.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)

set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
foreach(consumer consumer_cpp consumer_c consumer_pc)
  run(${WORK_DIR}/build/${consumer})
endforeach()
run(${prefix}/bin/qvcalc 6*7)

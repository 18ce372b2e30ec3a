# Puts the build tree BUILD_DIR into a fresh folder under WORK_DIR: installed with cmake --install,
# or, when CPACK is given, as the Debian package cpack makes, unpacked with dpkg-deb -x (the
# machine's own packages are not touched). Then checks the files, runs the calculator from there,
# and configures, builds and runs the consumer project in CONSUMER_DIR against that folder alone.
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

if(CPACK)
  run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/package)
  file(GLOB packages ${WORK_DIR}/package/*.deb)
  list(LENGTH packages count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${packages}")
  endif()
  run(${DPKG_DEB} --field ${packages} Package Version Depends)
  run(${DPKG_DEB} -x ${packages} ${WORK_DIR}/root)
  set(prefix ${WORK_DIR}/root/usr)
else()
  set(prefix ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()

foreach(installed bin/qvcalc share/man/man1/qvcalc.1.gz include/qvcalc/control/qvCalc.h
        include/qvcalc/capi/qvcalc.h include/qvcalc/engine/qvExpression.h)
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

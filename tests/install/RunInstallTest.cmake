# Puts the build tree BUILD_DIR into a fresh folder under WORK_DIR: installed with cmake --install,
# or, when CPACK is given, as the two Debian packages cpack makes, unpacked with dpkg-deb -x (the
# machine's own packages are not touched). Then checks which files each package holds and what it
# depends on, runs the calculator from there, and configures, builds and runs the consumer
# project in CONSUMER_DIR against that folder alone. VERSION is the project's version.
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

# condition is the text of an if() condition, evaluated where the macro is used.
macro(fail_unless condition message)
  cmake_language(EVAL CODE "if(NOT (${condition}))\n message(FATAL_ERROR [==[${message}]==])\nendif()")
endmacro()

# What each package may hold, as regular expressions over its paths under /usr; anything else
# (an internal header, say) fails the test.
set(runtime_files "^bin/qvcalc$" "^lib/(.*/)?libqvcalc[.]so[.][0-9.]+$" "^share/man/man1/qvcalc[.]1[.]gz$"
                  "^share/bash-completion/completions/qvcalc$" "^share/doc/qvcalc/copyright$")
set(development_files "^include/qvcalc/qvcalc_version[.]h$"
    "^include/qvcalc/engine/(qvExpression|qvVariable|qvArrayValues|qvColumn|qvFormula|qvTier|qvFunction|Variant|RuntimeError)[.]h$"
    "^include/qvcalc/control/(qvCalc|Dispatch)[.]h$" "^include/qvcalc/capi/qvcalc[.]h$"
    "^lib/(.*/)?libqvcalc_core[.]a$" "^lib/(.*/)?libqvcalc[.]so$" "^lib/(.*/)?cmake/qvcalc/qvcalc[A-Za-z-]*[.]cmake$"
    "^lib/(.*/)?pkgconfig/qvcalc(-cpp)?[.]pc$" "^share/doc/qvcalc-dev/copyright$")

function(check_contents package root allowed)
  file(GLOB_RECURSE files RELATIVE ${root} LIST_DIRECTORIES false ${root}/*)
  foreach(file ${files})
    set(known FALSE)
    foreach(pattern ${allowed})
      if(file MATCHES "${pattern}")
        set(known TRUE)
      endif()
    endforeach()
    fail_unless(known "${package} holds ${file}, which belongs to no package")
  endforeach()
  foreach(pattern ${allowed})
    set(matching ${files})
    list(FILTER matching INCLUDE REGEX "${pattern}")
    fail_unless(matching "${package} holds nothing that matches ${pattern}")
  endforeach()
endfunction()

function(check_package deb name allowed)
  execute_process(COMMAND ${DPKG_DEB} --field ${deb} Package Version Depends
                  OUTPUT_VARIABLE fields RESULT_VARIABLE status)
  fail_unless("status EQUAL 0" "dpkg-deb cannot read ${deb}")
  message(STATUS "${fields}")
  fail_unless("fields MATCHES \"Package: ${name}\n\"" "${deb} is not the package ${name}")
  fail_unless("fields MATCHES \"Version: ${VERSION}\n\"" "${deb} is not version ${VERSION}")
  run(${DPKG_DEB} -x ${deb} ${WORK_DIR}/${name})
  check_contents(${name} ${WORK_DIR}/${name}/usr "${allowed}")
  run(${DPKG_DEB} -x ${deb} ${WORK_DIR}/root)
  set(fields "${fields}" PARENT_SCOPE)
endfunction()

if(CPACK)
  run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/package)
  file(GLOB packages ${WORK_DIR}/package/*.deb)
  list(LENGTH packages count)
  fail_unless("count EQUAL 2" "expected two packages, found: ${packages}")
  file(GLOB runtime ${WORK_DIR}/package/qvcalc_*.deb)
  file(GLOB development ${WORK_DIR}/package/qvcalc-dev_*.deb)
  check_package("${runtime}" qvcalc "${runtime_files}")
  fail_unless("NOT fields MATCHES \"-dev\"" "the runtime package depends on a development package")
  check_package("${development}" qvcalc-dev "${development_files}")
  fail_unless("fields MATCHES \"qvcalc [(]= ${VERSION}[)]\"" "qvcalc-dev does not depend on its qvcalc")
  set(prefix ${WORK_DIR}/root/usr)
else()
  set(prefix ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
  check_contents(install ${prefix} "${runtime_files};${development_files}")
endif()

foreach(installed bin/qvcalc share/man/man1/qvcalc.1.gz include/qvcalc/control/qvCalc.h
        include/qvcalc/capi/qvcalc.h include/qvcalc/engine/qvExpression.h share/doc/qvcalc/copyright
        share/bash-completion/completions/qvcalc)
  fail_unless("EXISTS ${prefix}/${installed}" "not installed: ${installed}")
endforeach()
file(READ ${prefix}/share/doc/qvcalc/copyright copyright)
fail_unless("copyright MATCHES \"MIT License.*The qvCalc authors\"" "the copyright file is not the licence")
file(GLOB_RECURSE pc_files ${prefix}/*/qvcalc.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)

execute_process(COMMAND ${prefix}/bin/qvcalc --version OUTPUT_VARIABLE shown)
fail_unless("shown STREQUAL \"qvcalc ${VERSION}\n\"" "qvcalc --version printed '${shown}'")
run(${prefix}/bin/qvcalc 6*7)

set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DQVCALC_PREFIX=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
foreach(consumer consumer_cpp consumer_c consumer_pc consumer_pc_cpp)
  run(${WORK_DIR}/build/${consumer})
endforeach()

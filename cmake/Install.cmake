# Installation, in two parts that are also the two Debian packages cpack -G DEB makes:
#   runtime (package qvcalc): the calculator, the shared C library libqvcalc.so.1, the manual
#     page, the bash completion and the licence as Debian's copyright file;
#   development (package qvcalc-dev): the public headers under include/qvcalc, the static C++
#     library (qvcalc::qvcalc), the link libqvcalc.so (qvcalc::capi), the CMake package, and
#     pkg-config files for the C library (qvcalc) and the C++ library (qvcalc-cpp).
# Two tests put them into a temporary folder, one by installing and one by unpacking the
# packages, and build a small consumer project against it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qvcalc)
set(QV_RUNTIME COMPONENT runtime)
set(QV_DEVELOPMENT COMPONENT development)

# The headers a consumer includes, and what they include; the engine's internals stay out.
set(QV_PUBLIC_HEADERS
    engine/qvExpression.h engine/qvVariable.h engine/qvArrayValues.h engine/qvColumn.h
    engine/qvFormula.h engine/qvTier.h engine/qvFunction.h engine/Variant.h engine/RuntimeError.h
    control/qvCalc.h control/Dispatch.h capi/qvcalc.h)
foreach(header ${QV_PUBLIC_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION include/qvcalc/${folder} ${QV_DEVELOPMENT})
endforeach()
install(FILES ${QV_GENERATED_INCLUDE}/qvcalc_version.h DESTINATION include/qvcalc ${QV_DEVELOPMENT})

set_target_properties(qvcalc_core PROPERTIES EXPORT_NAME qvcalc)
install(TARGETS qvcalc_core EXPORT qvcalcTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} ${QV_DEVELOPMENT})
if(TARGET qvcalc)
  set_target_properties(qvcalc PROPERTIES EXPORT_NAME capi)
  install(TARGETS qvcalc EXPORT qvcalcTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} ${QV_RUNTIME} NAMELINK_COMPONENT development)
endif()
if(TARGET qvcalc_cli)
  install(TARGETS qvcalc_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${QV_RUNTIME})
  install(FILES ${PROJECT_BINARY_DIR}/cli/qvcalc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 ${QV_RUNTIME})
  install(FILES ${PROJECT_SOURCE_DIR}/cli/qvcalc.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qvcalc ${QV_RUNTIME})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright ${QV_RUNTIME})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qvcalc-dev
        RENAME copyright ${QV_DEVELOPMENT})

install(EXPORT qvcalcTargets NAMESPACE qvcalc:: DESTINATION ${QV_CMAKE_DIR} ${QV_DEVELOPMENT})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qvcalcConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/qvcalcConfig.cmake
                              INSTALL_DESTINATION ${QV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qvcalcConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qvcalcConfig.cmake ${PROJECT_BINARY_DIR}/qvcalcConfigVersion.cmake
        DESTINATION ${QV_CMAKE_DIR} ${QV_DEVELOPMENT})

# The pkg-config files find their prefix from where they lie, so an installed tree can be moved.
# The C++ library is static: its consumers link what it uses (asmjit with the native tier, and the
# thread library of the column call).
file(RELATIVE_PATH QV_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" QV_PC_TO_PREFIX "${QV_PC_TO_PREFIX}")
set(QV_PC_CXX_LIBS "-pthread")
if(QV_NATIVE_TIER)
  set(QV_PC_CXX_LIBS "-lasmjit -pthread")
endif()
foreach(pc qvcalc qvcalc-cpp)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig ${QV_DEVELOPMENT})
endforeach()

# The Debian packages, under /usr. The runtime package needs only the shared libraries of the
# C++ runtime, readline and libcsv; the development package adds asmjit's static library, which
# the C++ library's consumers link.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_PACKAGE_NAME qvcalc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # debugging symbols stay in the build tree
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The qvCalc authors")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qvcalc)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libreadline8, libcsv3")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "mathematical expression engine: the qvcalc calculator and the C library\n"
    " The calculator evaluates formulas given on the command line, read from a pipe, typed in an\n"
    " interactive session or over the rows of a CSV file; libqvcalc.so.1 is the C interface.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME qvcalc-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "qvcalc (= ${PROJECT_VERSION})")
if(QV_NATIVE_TIER)
  string(APPEND CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS ", libasmjit-dev")
endif()
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "mathematical expression engine: headers and libraries for C and C++\n"
    " The public headers, the static C++ library, the CMake package (find_package(qvcalc)) and\n"
    " pkg-config files for the C library (qvcalc) and the C++ library (qvcalc-cpp).")
include(CPack)

if(QV_BUILD_TESTS)
  set(QV_CONSUMER_TEST -DBUILD_DIR=${PROJECT_BINARY_DIR} -DCONSUMER_DIR=${PROJECT_SOURCE_DIR}/tests/install
                       -DGENERATOR=${CMAKE_GENERATOR} -DVERSION=${PROJECT_VERSION}
                       -P ${PROJECT_SOURCE_DIR}/tests/install/RunInstallTest.cmake)
  add_test(NAME install.consumer
           COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/install-test ${QV_CONSUMER_TEST})
  find_program(DPKG_DEB_PROGRAM dpkg-deb)
  if(DPKG_DEB_PROGRAM)
    add_test(NAME install.package
             COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
                     -DCPACK=${CMAKE_CPACK_COMMAND} -DDPKG_DEB=${DPKG_DEB_PROGRAM} ${QV_CONSUMER_TEST})
  endif()
endif()

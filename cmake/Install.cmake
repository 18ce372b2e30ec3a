# Installation: headers under include/qvcalc (engine/, control/, capi/), the static C++ library
# (qvcalc::qvcalc), the shared C library (qvcalc::capi), the calculator and its manual page, a
# CMake package and a pkg-config file for the C interface; cpack -G DEB makes a Debian package of
# the same files. Two tests put them into a temporary folder, one by installing and one by
# unpacking the package, and build a small consumer project against it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qvcalc)

set_target_properties(qvcalc_core PROPERTIES EXPORT_NAME qvcalc)
install(TARGETS qvcalc_core EXPORT qvcalcTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET qvcalc)
  set_target_properties(qvcalc PROPERTIES EXPORT_NAME capi)
  install(TARGETS qvcalc EXPORT qvcalcTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
endif()
if(TARGET qvcalc_cli)
  install(TARGETS qvcalc_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/cli/qvcalc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
foreach(dir engine control capi)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/ DESTINATION include/qvcalc/${dir}
          FILES_MATCHING PATTERN "*.h" PATTERN "tests" EXCLUDE)
endforeach()

install(EXPORT qvcalcTargets NAMESPACE qvcalc:: DESTINATION ${QV_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qvcalcConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/qvcalcConfig.cmake
                              INSTALL_DESTINATION ${QV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qvcalcConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qvcalcConfig.cmake ${PROJECT_BINARY_DIR}/qvcalcConfigVersion.cmake
        DESTINATION ${QV_CMAKE_DIR})

# The pkg-config file finds its prefix from where it lies, so an installed tree can be moved.
file(RELATIVE_PATH QV_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" QV_PC_TO_PREFIX "${QV_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/qvcalc.pc.in ${PROJECT_BINARY_DIR}/qvcalc.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qvcalc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package: everything above in one package, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvcalc)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "mathematical expression engine: C++ and C libraries and the qvcalc calculator")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # debugging symbols stay in the build tree
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "qvCalc developers")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libreadline8, libcsv3")
if(QV_NATIVE_TIER)  # the C++ library's consumers link asmjit's static library too
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libasmjit-dev")
endif()
include(CPack)

if(QV_BUILD_TESTS)
  set(QV_CONSUMER_TEST -DBUILD_DIR=${PROJECT_BINARY_DIR} -DCONSUMER_DIR=${PROJECT_SOURCE_DIR}/tests/install
                       -DGENERATOR=${CMAKE_GENERATOR} -P ${PROJECT_SOURCE_DIR}/tests/install/RunInstallTest.cmake)
  add_test(NAME install.consumer
           COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/install-test ${QV_CONSUMER_TEST})
  find_program(DPKG_DEB_PROGRAM dpkg-deb)
  if(DPKG_DEB_PROGRAM)
    add_test(NAME install.package
             COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
                     -DCPACK=${CMAKE_CPACK_COMMAND} -DDPKG_DEB=${DPKG_DEB_PROGRAM} ${QV_CONSUMER_TEST})
  endif()
endif()

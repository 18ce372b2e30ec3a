# Installation: headers under include/qvcalc (engine/, control/, capi/), the static C++ library
# (qvcalc::qvcalc), the shared C library (qvcalc::capi), the calculator, a CMake package and a
# pkg-config file for the C interface. A test installs into a temporary prefix and builds a
# small consumer project against it.
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

if(QV_BUILD_TESTS)
  add_test(NAME install.consumer
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DCONSUMER_DIR=${PROJECT_SOURCE_DIR}/tests/install
                   -DWORK_DIR=${PROJECT_BINARY_DIR}/install-test
                   -DGENERATOR=${CMAKE_GENERATOR}
                   -P ${PROJECT_SOURCE_DIR}/tests/install/RunInstallTest.cmake)
endif()

include(CMakePackageConfigHelpers)

install(TARGETS qel qel_host EXPORT qelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/qel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT qelTargets NAMESPACE qel:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel)

configure_package_config_file(cmake/qelConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/qelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/qelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel)

file(RELATIVE_PATH QEL_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" QEL_PC_TO_PREFIX "${QEL_PC_TO_PREFIX}")
configure_file(cmake/qel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# SPDX-License-Identifier: Apache-2.0
include(CMakePackageConfigHelpers)

# Three parts, installed together by `cmake --install` and packaged apart (cmake/debian.cmake):
# runtime (the shared library), dev (what programs build with), tools (qelctl, qel-simd).
install(TARGETS qel EXPORT qelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS qel_host EXPORT qelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/qel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT qelTargets NAMESPACE qel:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel
  COMPONENT dev)

configure_package_config_file(cmake/qelConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/qelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/qelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qel COMPONENT dev)

# An install tree may be moved, so its pkg-config file finds the prefix relative to itself; a
# system package's prefix is fixed, and written out so that pkg-config sees the system paths.
if(QEL_DEBIAN_PACKAGE)
  set(QEL_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" to_prefix "${to_prefix}")
  set(QEL_PC_PREFIX "\${pcfiledir}/${to_prefix}")
endif()
configure_file(cmake/qel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)

# Installs the roff page `source` of man section `section` into `component`, with the
# project's version filled in and compressed as man pages are shipped.
function(qel_install_man source section component)
  get_filename_component(name ${source} NAME)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${name})
  configure_file(${source} ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9nf -k ${page} DEPENDS ${page}
    COMMENT "Compressing man page ${name}")
  add_custom_target(man_${name} ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
    COMPONENT ${component})
endfunction()

qel_install_man(${CMAKE_CURRENT_SOURCE_DIR}/docs/qel.3 3 dev)

# Installs the systemd unit `unit_in` ("NAME.service.in") of the program `program` into
# `component`. A unit names its program where this install puts it (@QEL_PROGRAM_PATH@), so it is
# written at install time, when the prefix is known (`cmake --install --prefix` may change it).
set(QEL_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
  "Where the service units are installed (relative: under the prefix)")
function(qel_install_unit unit_in program component)
  get_filename_component(unit ${unit_in} NAME_WLE)
  install(CODE "
    set(QEL_PROGRAM_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
    configure_file(${unit_in} ${CMAKE_CURRENT_BINARY_DIR}/${unit} @ONLY)" COMPONENT ${component})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${unit} DESTINATION ${QEL_SYSTEMD_UNIT_DIR}
    COMPONENT ${component})
endfunction()

# Debian packages, split the way Debian splits a library: libqel1 (the shared library),
# libqel-dev (what programs build with) and qel-tools (qelctl, qel-simd and the service unit).
# scripts/package configures a build with QEL_DEBIAN_PACKAGE=ON and runs CPack on it.
set(QEL_PACKAGE_MAINTAINER "libqel developers <libqel-dev@example.org>" CACHE STRING
  "Maintainer field of the Debian packages")
set(debian ${CMAKE_CURRENT_LIST_DIR}/debian)
set(staging ${CMAKE_CURRENT_BINARY_DIR}/debian)

# Every package carries its copyright and a changelog (a native package's changelog.gz).
string(TIMESTAMP QEL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${debian}/changelog.in ${staging}/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${staging}/changelog COMMAND_ERROR_IS_FATAL ANY)
set(QEL_DEB_runtime libqel1)
set(QEL_DEB_dev libqel-dev)
set(QEL_DEB_tools qel-tools)
foreach(component runtime dev tools)
  install(FILES ${debian}/copyright ${staging}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QEL_DEB_${component}} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${QEL_DEB_${component}})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_PACKAGE_NAME qel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QEL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Dependencies on other packages are computed from the binaries; the library's shlibs file lets
# programs built against it depend on it in turn. The dependencies between these three
# packages are stated here, since the library is in none of the installed packages yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libqel1 (= ${PROJECT_VERSION}), libtirpc-dev")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libqel1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS rpcbind)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# The first line is the synopsis; CPack indents the rest and marks the empty lines.
set(about "libqel gives management programs on a server's service processor a flat C
interface to the management server on the same service processor: network
settings, platform control, sensors and administration, each operation one
ONC RPC call.")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "client library for the service processor's management server\n${about}\n\nThis package holds the shared library.")
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "client library for the service processor's management server (development)\n${about}\n
This package holds the header, the qel_host static library with the default
connection lock, the pkg-config file, the CMake package and the qel(3) manual
page.")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
  "simulated server, command-line client and Prometheus exporter for libqel
qel-simd simulates a service processor's management server, so that
management programs can be developed and tested without one; the
qel-simd.service unit runs it. qelctl runs every operation of libqel from
the shell. qel-exporter serves a service processor's sensors and state to
Prometheus, for one service processor or a fleet.")

# ldconfig runs through the dpkg trigger that the library package activates. CPack would write
# postinst and postrm scripts calling ldconfig unless such scripts are listed here; naming
# scripts that do not exist leaves them out of the package.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${debian}/triggers ${staging}/none/postinst ${staging}/none/postrm)

include(CPack)

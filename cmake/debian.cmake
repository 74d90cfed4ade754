# SPDX-License-Identifier: Apache-2.0
# Debian packages, split the way Debian splits a library: libqel1 (the shared library),
# libqel-dev (what programs build with) and qel-tools (qelctl, qel-simd, qel-exporter,
# qel-redfishd and their service units).
# scripts/package configures a build with QEL_DEBIAN_PACKAGE=ON and runs CPack on it.
# The project's own address: the packages' maintainer unless the packager names another
# (scripts/package takes QEL_PACKAGE_MAINTAINER), and the upstream contact in their copyright.
set(QEL_PROJECT_CONTACT "libqel maintainers <maintainers@libqel.org>")
set(QEL_PACKAGE_MAINTAINER "${QEL_PROJECT_CONTACT}" CACHE STRING
  "Maintainer field of the Debian packages: a name and an address, \"NAME <ADDRESS>\"")
if(NOT QEL_PACKAGE_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
  message(FATAL_ERROR "QEL_PACKAGE_MAINTAINER \"${QEL_PACKAGE_MAINTAINER}\" is not NAME <ADDRESS>")
endif()
set(debian ${CMAKE_CURRENT_LIST_DIR}/debian)
set(staging ${CMAKE_CURRENT_BINARY_DIR}/debian)

# The changelog is the project's history of releases; its latest entry names this version.
file(STRINGS ${debian}/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^qel \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: the latest entry is not version "
    "${PROJECT_VERSION}; add an entry for it")
endif()
configure_file(${debian}/copyright.in ${staging}/copyright @ONLY)
configure_file(${debian}/changelog ${staging}/changelog COPYONLY)
execute_process(COMMAND gzip -9nf ${staging}/changelog COMMAND_ERROR_IS_FATAL ANY)

# Every package carries the copyright and the changelog (a native package's changelog.gz),
# and the control files cmake/debian/PACKAGE.FILE of its own (symbols, triggers), as debhelper
# names them. scripts/package checks each PACKAGE.symbols against the library it describes.
set(QEL_DEB_runtime libqel1)
set(QEL_DEB_dev libqel-dev)
set(QEL_DEB_tools qel-tools)
set(QEL_DEB_python python3-qel)
set(QEL_DEB_COMPONENTS runtime dev tools)
if(TARGET qel_python)
  list(APPEND QEL_DEB_COMPONENTS python)
endif()
foreach(component ${QEL_DEB_COMPONENTS})
  set(package ${QEL_DEB_${component}})
  install(FILES ${staging}/copyright ${staging}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  foreach(control symbols triggers)
    if(EXISTS ${debian}/${package}.${control})
      configure_file(${debian}/${package}.${control} ${staging}/${package}/${control} COPYONLY)
      list(APPEND CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${staging}/${package}/${control})
    endif()
  endforeach()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QEL_DEB_COMPONENTS})
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
# A library that creates its clients with clnt_create is safe only on a libtirpc that survives
# a port mapper restart (1.3.4 and later); built the other way it runs on any libtirpc3.
if(QEL_CREATES_WITH_CLNT_CREATE)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libtirpc3 (>= 1.3.4)")
endif()
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libqel1 (= ${PROJECT_VERSION}), libtirpc-dev")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libqel1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS rpcbind)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "libqel1 (= ${PROJECT_VERSION}), ${QEL_PYTHON_DEB_DEPENDS}")
set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS qel-tools)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS python3-pytest)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
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
  "simulated server, command-line client, Prometheus exporter and Redfish service
qel-simd simulates a service processor's management server, so that
management programs can be developed and tested without one; the
qel-simd.service unit runs it. qelctl runs every operation of libqel from
the shell. qel-exporter serves a service processor's sensors and state to
Prometheus, for one service processor or a fleet. qel-redfishd serves the
service processor as a Redfish service (HTTPS, accounts and roles) for
redfishtool, Ironic and Ansible; the qel-redfishd.service unit runs it.")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
  "Python binding of libqel, with qel-simd as a pytest fixture
${about}\n
This package holds the Python package qel: every operation of libqel as a
Python function, records as dataclasses and result codes as exceptions;
qel.sim, which runs qel-simd as a context manager; and a pytest plugin with
the qel_sim fixture.")

# ldconfig runs through the dpkg trigger that the library package activates (libqel1.triggers).
# CPack would write postinst and postrm scripts calling ldconfig unless such scripts are listed
# here; naming scripts that do not exist leaves them out of the package.
list(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${staging}/none/postinst
  ${staging}/none/postrm)

include(CPack)

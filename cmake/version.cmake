# SPDX-License-Identifier: Apache-2.0
# The project's version is the one number: the library's file and SONAME version, the pkg-config
# and CMake package versions, the tools' --version and the Debian packages. The public header
# states it as plain macros so that it stays a file users read as written; configuring fails
# when the two disagree.
set(qel_header ${PROJECT_SOURCE_DIR}/include/qel.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${qel_header})
foreach(part MAJOR MINOR PATCH)
  file(STRINGS ${qel_header} line REGEX "^#define QEL_VERSION_${part} ")
  string(REGEX REPLACE "^#define QEL_VERSION_${part} +([0-9]+).*" "\\1" value "${line}")
  if(NOT value STREQUAL PROJECT_VERSION_${part})
    message(FATAL_ERROR "include/qel.h: QEL_VERSION_${part} is '${value}', but the project's "
      "version is ${PROJECT_VERSION}: change both together")
  endif()
endforeach()

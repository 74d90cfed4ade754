# SPDX-License-Identifier: Apache-2.0
# Writes `output`, one QEL_RESULT(RESULT_NAME) line per result code that include/qel.h
# defines, so that code which names the codes takes them from the header and never retypes them.
function(qel_result_codes output)
  set(header ${PROJECT_SOURCE_DIR}/include/qel.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} defines REGEX "^#define RESULT_[A-Z_]+ [0-9]+u$")
  set(lines "")
  foreach(define ${defines})
    string(REGEX REPLACE "^#define (RESULT_[A-Z_]+) .*$" "QEL_RESULT(\\1)" line "${define}")
    string(APPEND lines "${line}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${lines}")
endfunction()

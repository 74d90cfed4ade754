// SPDX-License-Identifier: Apache-2.0
/* Compile-time checks of what qel.h promises about its types: record sizes and
 * offsets. Included from C99 and from C++, so every target the library is built for (64-bit
 * host, 32-bit x86, 32-bit ARM) checks the same list in both languages. */
#ifndef QEL_TESTS_ABI_LAYOUT_CHECKS_H
#define QEL_TESTS_ABI_LAYOUT_CHECKS_H

#include <stddef.h>

#include "qel.h"

/* C99 has no static assertion; an array of negative size stops the compiler just as well. */
#ifdef __cplusplus
#define QEL_CHECK(name, condition) static_assert(condition, #name)
#else
#define QEL_CHECK(name, condition) typedef char qel_check_##name[(condition) ? 1 : -1]
#endif
#define QEL_WORD 4u

#ifdef QEL_EXPECT_32_BIT_TARGET
/* Set by the build for the 32-bit toolchains: a lost -m32 or a host compiler fails here. */
QEL_CHECK(target_is_32_bit, sizeof(void *) == QEL_WORD && sizeof(long) == QEL_WORD);
#endif

/* What callers build against: the caller-side records keep their sizes on every target, and
 * the fields that are unsigned long in memory are 32 bits wide on a 32-bit target. */
QEL_CHECK(fan_state_size, sizeof(FanState) == 24 * QEL_WORD);
QEL_CHECK(caller_thresholds_size, sizeof(SensorThresholds) == 8 * QEL_WORD);
QEL_CHECK(sensor_info_size, sizeof(SensorInfo) == 512 && offsetof(SensorInfo, intValue1) == 480);
QEL_CHECK(ip_info_flags_in_one_word,
          offsetof(IPInfo, ipAddress) == QEL_WORD && sizeof(IPInfo) == 14 * QEL_WORD);
QEL_CHECK(wide_fields_on_32_bit_targets,
          sizeof(void *) != QEL_WORD || (sizeof(rpc_ConsoleConfig) == 6 * QEL_WORD &&
                                         sizeof(rpc_ProcessInfo) == 2 * QEL_WORD));

#endif /* QEL_TESTS_ABI_LAYOUT_CHECKS_H */

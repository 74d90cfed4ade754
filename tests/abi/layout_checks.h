/* Compile-time checks of what qel.h promises about its types: record sizes, field widths and
 * offsets. Included from C99 and from C++, so every target the library is built for (64-bit
 * host, 32-bit x86, 32-bit ARM) checks the same list in both languages. */
#ifndef QEL_TESTS_ABI_LAYOUT_CHECKS_H
#define QEL_TESTS_ABI_LAYOUT_CHECKS_H

#include <float.h>
#include <limits.h>
#include <stddef.h>

#include "qel.h"

/* C99 has no static assertion; an array of negative size stops the compiler just as well. */
#ifdef __cplusplus
#define QEL_CHECK(name, condition) static_assert(condition, #name)
#else
#define QEL_CHECK(name, condition) typedef char qel_check_##name[(condition) ? 1 : -1]
#endif
#define QEL_FIELD_SIZE(type, field) sizeof(((type *)0)->field)
#define QEL_WORD 4u

/* The primitive widths every record is built from. */
QEL_CHECK(byte_is_8_bits, CHAR_BIT == 8);
QEL_CHECK(int_is_32_bits, sizeof(int) == QEL_WORD && INT_MAX == 2147483647);
QEL_CHECK(unsigned_int_is_32_bits, sizeof(unsigned int) == QEL_WORD && UINT_MAX == 4294967295u);
QEL_CHECK(float_is_ieee_single,
          sizeof(float) == QEL_WORD && FLT_MANT_DIG == 24 && FLT_MAX_EXP == 128 && FLT_RADIX == 2);
QEL_CHECK(unsigned_long_holds_32_bits, sizeof(unsigned long) >= QEL_WORD);
/* On a 32-bit target every unsigned long field is itself 32 bits wide. */
QEL_CHECK(unsigned_long_is_32_bits_on_32_bit_targets,
          sizeof(void *) != QEL_WORD || sizeof(unsigned long) == QEL_WORD);
#ifdef QEL_EXPECT_32_BIT_TARGET
/* Set by the build for the 32-bit toolchains: a lost -m32 or a host compiler fails here. */
QEL_CHECK(target_is_32_bit, sizeof(void *) == QEL_WORD && sizeof(long) == QEL_WORD);
#endif

/* Records of 32-bit fields only: the same size on every target. */
QEL_CHECK(interface_size, sizeof(rpc_Interface) == 2 * QEL_WORD);
QEL_CHECK(cpu_config_size, sizeof(rpc_CPUConfig) == 5 * QEL_WORD);
QEL_CHECK(float_and_ec_size, sizeof(rpc_FloatAndEC) == 2 * QEL_WORD);
QEL_CHECK(sensor_list_size, sizeof(rpc_SensorList) == 2 * QEL_WORD);
QEL_CHECK(fan_debug_state_size, sizeof(rpc_FanDebugState) == 26 * QEL_WORD);
QEL_CHECK(fan_debug_entry_count, offsetof(rpc_FanDebugState, entryCount) == 9 * QEL_WORD);
QEL_CHECK(fan_debug_entries, offsetof(rpc_FanDebugState, entries) == 10 * QEL_WORD &&
                                 QEL_FIELD_SIZE(rpc_FanDebugState, entries) == 16 * QEL_WORD);
QEL_CHECK(fan_state_size, sizeof(FanState) == 24 * QEL_WORD);
QEL_CHECK(fan_state_entry_count, offsetof(FanState, entryCount) == 7 * QEL_WORD);
QEL_CHECK(fan_state_entries, offsetof(FanState, entries) == 8 * QEL_WORD &&
                                 QEL_FIELD_SIZE(FanState, entries) == 16 * QEL_WORD);

/* Sensor thresholds: four floats, then four one-byte flags, padded to a word. */
QEL_CHECK(wire_thresholds_flags,
          offsetof(rpc_SysSensorThresholds, thresholdFlag1) == 4 * QEL_WORD &&
              QEL_FIELD_SIZE(rpc_SysSensorThresholds, thresholdFlag4) == 1);
QEL_CHECK(wire_thresholds_size, sizeof(rpc_SysSensorThresholds) == 5 * QEL_WORD);
QEL_CHECK(get_thresholds_size, sizeof(rpc_SysGetSensorThresh) == 6 * QEL_WORD);
QEL_CHECK(caller_thresholds_flags_first,
          offsetof(SensorThresholds, thresholdFlag4) == 3 * QEL_WORD &&
              offsetof(SensorThresholds, threshold1) == 4 * QEL_WORD);
QEL_CHECK(caller_thresholds_size, sizeof(SensorThresholds) == 8 * QEL_WORD);

/* SensorInfo: seven texts of fixed sizes, then eight 32-bit values. */
QEL_CHECK(sensor_info_text1,
          offsetof(SensorInfo, text1) == 0 && QEL_FIELD_SIZE(SensorInfo, text1) == 32);
QEL_CHECK(sensor_info_text2,
          offsetof(SensorInfo, text2) == 32 && QEL_FIELD_SIZE(SensorInfo, text2) == 64);
QEL_CHECK(sensor_info_text3,
          offsetof(SensorInfo, text3) == 96 && QEL_FIELD_SIZE(SensorInfo, text3) == 128);
QEL_CHECK(sensor_info_text4,
          offsetof(SensorInfo, text4) == 224 && QEL_FIELD_SIZE(SensorInfo, text4) == 32);
QEL_CHECK(sensor_info_text5,
          offsetof(SensorInfo, text5) == 256 && QEL_FIELD_SIZE(SensorInfo, text5) == 64);
QEL_CHECK(sensor_info_text6,
          offsetof(SensorInfo, text6) == 320 && QEL_FIELD_SIZE(SensorInfo, text6) == 32);
QEL_CHECK(sensor_info_text7,
          offsetof(SensorInfo, text7) == 352 && QEL_FIELD_SIZE(SensorInfo, text7) == 128);
QEL_CHECK(sensor_info_values, offsetof(SensorInfo, intValue1) == 480 &&
                                  offsetof(SensorInfo, realValue1) == 488 &&
                                  offsetof(SensorInfo, intValue5) == 508);
QEL_CHECK(sensor_info_size, sizeof(SensorInfo) == 512);

/* IPInfo: the five one-bit flags share one 32-bit unit ahead of the addresses. */
QEL_CHECK(ip_info_flags_in_one_word, offsetof(IPInfo, ipAddress) == QEL_WORD);
QEL_CHECK(ip_info_addresses,
          offsetof(IPInfo, netmask) == 2 * QEL_WORD && offsetof(IPInfo, gateway) == 3 * QEL_WORD);
QEL_CHECK(ip_info_label,
          offsetof(IPInfo, label) == 4 * QEL_WORD && QEL_FIELD_SIZE(IPInfo, label) == 32);
QEL_CHECK(ip_info_hardware_address, offsetof(IPInfo, hardwareAddress) == 12 * QEL_WORD &&
                                        QEL_FIELD_SIZE(IPInfo, hardwareAddress) == 6);
QEL_CHECK(ip_info_size, sizeof(IPInfo) == 14 * QEL_WORD);

/* Wire records whose flags are bytes in memory (four bytes each on the wire). */
QEL_CHECK(ip_state_flags_are_bytes,
          QEL_FIELD_SIZE(rpc_IPState, enabled) == 1 && QEL_FIELD_SIZE(rpc_IPState, dhcp) == 1);
QEL_CHECK(dns_state_flags_are_bytes, QEL_FIELD_SIZE(rpc_DNSState, server3Valid) == 1 &&
                                         QEL_FIELD_SIZE(rpc_DNSState, server3) == QEL_WORD);

/* The unsigned long fields: as wide as unsigned long in memory (32 bits on a 32-bit target),
 * so the records holding them have their 32-bit sizes there. */
QEL_CHECK(console_value5_width,
          QEL_FIELD_SIZE(rpc_ConsoleConfig, consoleValue5) == sizeof(unsigned long));
QEL_CHECK(console_value5_after_four_ints,
          offsetof(rpc_ConsoleConfig, consoleValue5) == 4 * QEL_WORD);
QEL_CHECK(process_tag_width, QEL_FIELD_SIZE(rpc_ProcessInfo, processTag) == sizeof(unsigned long));
QEL_CHECK(mount_unsigned_number_width,
          QEL_FIELD_SIZE(rpc_MountInfo, unsignedNumber) == sizeof(unsigned long));
QEL_CHECK(console_config_size_on_32_bit_targets,
          sizeof(void *) != QEL_WORD || sizeof(rpc_ConsoleConfig) == 6 * QEL_WORD);
QEL_CHECK(process_info_size_on_32_bit_targets,
          sizeof(void *) != QEL_WORD || sizeof(rpc_ProcessInfo) == 2 * QEL_WORD);

#endif /* QEL_TESTS_ABI_LAYOUT_CHECKS_H */

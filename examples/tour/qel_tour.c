// SPDX-License-Identifier: Apache-2.0
/* A short tour of libqel against a running management server (for example qel-simd):
 *
 *   qel-tour [PROGRAM] [--stop]
 *
 * reads and changes a little of everything, family by family, and with --stop asks the server
 * to stop at the end. Written in plain C against the public header, as a management program
 * would be. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qel.h"

static int failures = 0;

/* Prints one step with its result; a failed step is counted and the tour goes on. */
static int step(const char *what, unsigned int result) {
  if (result != RESULT_OK) {
    printf("  %-34s failed with result %u\n", what, result);
    ++failures;
  }
  return result == RESULT_OK;
}

static void show(const char *what, char *text) {
  printf("  %-34s %s\n", what, text ? text : "(none)");
  free(text);
}

/* The first lines of a long text, indented. */
static void excerpt(char *text, int lines) {
  char *line = text;
  while (line && *line && lines-- > 0) {
    char *end = strchr(line, '\n');
    printf("    %.*s\n", end ? (int)(end - line) : (int)strlen(line), line);
    line = end ? end + 1 : NULL;
  }
  if (line && *line) printf("    ...\n");
  free(text);
}

static void network(void) {
  int enabled = 0, dhcp = 0;
  char *address = NULL, *netmask = NULL, *gateway = NULL, *label = NULL, *hostname = NULL;
  char *servers = NULL, *dnsText = NULL;
  unsigned char *hardware = NULL;
  puts("Network");
  if (step("interface 0",
           qelGetIP_Str(0, 0, &enabled, &dhcp, &address, &netmask, &gateway, &label, &hardware))) {
    printf("  %-34s %s %s, %s address %s netmask %s gateway %s, %02x:%02x:%02x:%02x:%02x:%02x\n",
           "interface 0", label, enabled ? "enabled" : "disabled", dhcp ? "DHCP" : "static",
           address ? address : "-", netmask ? netmask : "-", gateway ? gateway : "-", hardware[0],
           hardware[1], hardware[2], hardware[3], hardware[4], hardware[5]);
    free(address), free(netmask), free(gateway), free(label), free(hardware);
  }
  if (step("DNS servers", qelGetDNS_Str(0, &servers, &dnsText))) {
    printf("  %-34s %s (%s)\n", "DNS servers", servers ? servers : "none", dnsText);
    free(servers), free(dnsText);
  }
  if (step("hostname", qelGetHostname(0, &hostname))) show("hostname", hostname);
  if (step("set hostname", qelSetHostname(0, "sp-tour")) &&
      step("hostname", qelGetHostname(0, &hostname))) {
    show("hostname after setting it", hostname);
  }
  step("set date", qelSetDate("2030-01-01 08:00:00"));
}

static void platform(void) {
  int state = 0, power = 0, level = 0, type = 0, reason = 0;
  puts("Platform");
  if (step("state", qelPlatformGetState(&state)) &&
      step("power", qelPlatformGetPowerState(&power)) &&
      step("level", qelPlatformGetPowerLevel(&level))) {
    printf("  %-34s state %d, power %s, level %d %%\n", "host", state, power ? "on" : "off", level);
  }
  if (step("board type", qelPlatformGetType("board", &type))) {
    printf("  %-34s %d\n", "platform type of \"board\"", type);
  }
  if (step("power cap 80 %", qelPlatformSetPowerLevel(80)) &&
      step("level", qelPlatformGetPowerLevel(&level))) {
    printf("  %-34s %d %%\n", "power level after capping", level);
  }
  step("graceful shutdown", qelPlatformSetAction(2, 0, 0, "tour"));
  if (step("power", qelPlatformGetPowerState(&power)) &&
      step("reason", qelPlatformGetShutdownReason(&reason))) {
    printf("  %-34s power %s, shutdown reason %d\n", "after a graceful shutdown",
           power ? "on" : "off", reason);
  }
  step("power on", qelPlatformSetPowerState(1));
  step("machine-check event", qelPlatformMachineCheckEvent(1, 2, 3, "corrected error, bank 4"));
}

static void sensors(void) {
  unsigned int count = 0, i;
  char **ids = NULL, *report = NULL;
  SensorThresholds limits;
  FanState fan;
  float value = 0;
  puts("Sensors");
  if (step("sensor list", qelGetSensorList(0, 0, &count, &ids))) {
    for (i = 0; i < count; ++i) {
      unsigned int result = qelSysGetSensorValue(ids[i], &value);
      if (result == RESULT_OK && value != QEL_NO_READING) {
        printf("  %-34s %.2f\n", ids[i], value);
      } else {
        printf("  %-34s %s\n", ids[i], result == RESULT_OK ? "no reading" : "failed");
      }
      free(ids[i]);
    }
    free(ids);
  }
  if (step("thresholds of cpu0-temp", qelSysGetSensorThresholds("cpu0-temp", &limits))) {
    printf("  %-34s %.1f %.1f %.1f %.1f\n", "thresholds of cpu0-temp", limits.threshold1,
           limits.threshold2, limits.threshold3, limits.threshold4);
  }
  if (step("fan state", qelGetFanState(&fan))) {
    printf("  %-34s duty %d %%, %d fans\n", "fan controller", fan.debugValue3, fan.entryCount);
  }
  if (step("component status", qelSysGetComponentStatusAll(&report))) {
    puts("  component status:");
    excerpt(report, 8);
  }
  if (step("XML report", qelSysGetSensorValuesXML(&report))) {
    puts("  sensor values as XML:");
    excerpt(report, 6);
  }
}

static void administration(void) {
  int baud = 0, bits = 0, parity = 0, stop = 0;
  unsigned long flow = 0;
  char *text = NULL;
  puts("Administration");
  if (step("console", qelSysGetConsoleConfig(&baud, &bits, &parity, &stop, &flow))) {
    printf("  %-34s %d baud, %d data bits, parity %d, %d stop bits\n", "console", baud, bits,
           parity, stop);
  }
  if (step("PBM string 1", qelGetPBMString(1, &text))) show("PBM string 1", text);
  step("register this process", qelRegisterPID(4242, 1));
  text = qelInternalState();
  if (text) {
    puts("  internal state:");
    excerpt(text, 6);
  } else {
    step("internal state", RESULT_CALL_FAILED);
  }
}

int main(int argc, char **argv) {
  unsigned long program =
      argc > 1 && strcmp(argv[1], "--stop") != 0 ? strtoul(argv[1], NULL, 0) : 0;
  int stop = argc > 1 && strcmp(argv[argc - 1], "--stop") == 0;
  unsigned int connected = qelConnect(NULL, program);
  if (connected != RESULT_OK) {
    fprintf(stderr, "qel-tour: cannot reach the management server (result %u)\n", connected);
    return 1;
  }
  network();
  sensors();
  platform();
  administration();
  if (stop) {
    puts("Server");
    if (step("stop", qelStopServer())) printf("  %-34s done\n", "stop");
  }
  printf("%s: %d step(s) failed\n", failures ? "Tour finished" : "Tour finished well", failures);
  return failures ? 1 : 0;
}

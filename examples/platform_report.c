// SPDX-License-Identifier: Apache-2.0
/* A small host program: reads the platform's power state and the sensor report from the
 * management server and prints them.
 *
 *   cc platform_report.c $(pkg-config --cflags --libs qel) -o platform_report
 *   ./platform_report [PROGRAM-NUMBER]
 *
 * It links qel_host (through pkg-config) for the default connection lock. */
#include <stdio.h>
#include <stdlib.h>

#include "qel.h"

int main(int argc, char **argv) {
  unsigned long program = argc > 1 ? strtoul(argv[1], NULL, 0) : 0;
  unsigned int rc = qelConnect(NULL, program);
  if (rc != RESULT_OK) {
    fprintf(stderr, "platform_report: cannot reach the management server (result %u)\n", rc);
    return 1;
  }

  int powerState = 0;
  rc = qelPlatformGetPowerState(&powerState);
  if (rc != RESULT_OK) {
    fprintf(stderr, "platform_report: power state failed (result %u)\n", rc);
    return 1;
  }
  printf("power state: %d\n", powerState);

  char *report = NULL;
  rc = qelSysGetSensorValuesASCII(&report);
  if (rc != RESULT_OK) {
    fprintf(stderr, "platform_report: sensor report failed (result %u)\n", rc);
    return 1;
  }
  printf("%s\n", report);
  free(report); /* every text the library hands out is the caller's */
  qelDisconnect();
  return 0;
}

/* The public header from plain C99: it compiles cleanly and links against the library. */
#include <stdio.h>
#include <string.h>

#include "qel.h"

static int failures = 0;
#define CHECK(condition)                                                      \
  do {                                                                        \
    if (!(condition)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      failures++;                                                             \
    }                                                                         \
  } while (0)

int main(void) {
  IPInfo info;
  SensorInfo sensor;
  SensorThresholds thresholds;
  FanState fan;
  rpc_StringAndEC reply = {0, NULL};
  memset(&info, 0, sizeof info);
  memset(&sensor, 0, sizeof sensor);
  memset(&thresholds, 0, sizeof thresholds);
  memset(&fan, 0, sizeof fan);

  CHECK(sizeof info.label == 32 && sizeof info.hardwareAddress == 6);
  CHECK(sizeof sensor.text3 == 128 && sizeof fan.entries == 16 * sizeof(int));
  CHECK(qelDisconnect() == RESULT_NOT_CONNECTED);
  CHECK(xdr_rpc_StringAndEC != NULL && reply.text == NULL);
  CHECK(RESULT_TOO_MANY_VALUES == 26u);
  (void)thresholds;
  if (failures == 0) printf("1 passed, 0 failed\n");
  return failures == 0 ? 0 : 1;
}

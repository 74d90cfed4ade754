/* The public header from plain C99: it compiles warning-free, links against the library, and a
 * few operations that need no server behave from C as promised. */
#include <stdio.h>
#include <stdlib.h>
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
  char *text = NULL;
  unsigned int address = 0;
  CHECK(qelDisconnect() == RESULT_NOT_CONNECTED);
  CHECK(qelIPAddressToString(0x0A000102u, &text) == RESULT_OK);
  CHECK(text != NULL && strcmp(text, "10.0.1.2") == 0);
  free(text);
  CHECK(qelStringToIPAddress("192.168.0.1", &address) == RESULT_OK && address == 0xC0A80001u);
  CHECK(qelStringToIPAddress(NULL, &address) == RESULT_NULL_ARGUMENT);
  return failures == 0 ? 0 : 1;
}

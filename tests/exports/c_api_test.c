/* The public header from plain C99: it compiles warning-free, links against the library, and an
 * operation that needs no server behaves from C as promised. */
#include <stdlib.h>
#include <string.h>

#include "qel.h"

int main(void) {
  char *text = NULL;
  unsigned int address = 0;
  int ok = qelDisconnect() == RESULT_NOT_CONNECTED;
  ok = ok && qelIPAddressToString(0x0A000102u, &text) == RESULT_OK && strcmp(text, "10.0.1.2") == 0;
  free(text);
  ok = ok && qelStringToIPAddress("192.168.0.1", &address) == RESULT_OK && address == 0xC0A80001u;
  return ok ? 0 : 1;
}

// SPDX-License-Identifier: Apache-2.0
/* The public header from plain C99: it compiles warning-free and links against the library. */
#include "qel.h"

int main(void) { return qelDisconnect() == RESULT_NOT_CONNECTED ? 0 : 1; }

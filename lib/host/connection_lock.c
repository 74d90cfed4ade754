// SPDX-License-Identifier: Apache-2.0
/* Default connection lock for host programs: one process-wide mutex. errno is kept across
 * both calls, since the library reads the creation error after unlocking. */
#include <errno.h>
#include <pthread.h>

#include "qel.h"

static pthread_mutex_t connection_mutex = PTHREAD_MUTEX_INITIALIZER;

void lockSharedRPCConnectionMutex(void) {
  int saved = errno;
  pthread_mutex_lock(&connection_mutex);
  errno = saved;
}

void unlockSharedRPCConnectionMutex(void) {
  int saved = errno;
  pthread_mutex_unlock(&connection_mutex);
  errno = saved;
}

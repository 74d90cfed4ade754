/* Default connection lock for host programs: one process-wide mutex. errno is kept across
 * both calls, since the library reads the creation error after unlocking.
 *
 * A child forked while another thread creates a client would inherit the mutex locked by a
 * thread it does not have, and its first connection would wait forever: fork waits until no
 * creation runs, and the child starts with the mutex free. */
#include <errno.h>
#include <pthread.h>

#include "qel.h"

static pthread_mutex_t connection_mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_once_t fork_handlers_once = PTHREAD_ONCE_INIT;

static void before_fork(void) { pthread_mutex_lock(&connection_mutex); }
static void after_fork_in_parent(void) { pthread_mutex_unlock(&connection_mutex); }
static void after_fork_in_child(void) { pthread_mutex_init(&connection_mutex, NULL); }

static void install_fork_handlers(void) {
  pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child);
}

void lockSharedRPCConnectionMutex(void) {
  int saved = errno;
  pthread_once(&fork_handlers_once, install_fork_handlers);
  pthread_mutex_lock(&connection_mutex);
  errno = saved;
}

void unlockSharedRPCConnectionMutex(void) {
  int saved = errno;
  pthread_mutex_unlock(&connection_mutex);
  errno = saved;
}

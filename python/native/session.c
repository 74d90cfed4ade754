// SPDX-License-Identifier: Apache-2.0
/* The sessions of session.h. The library's default program number comes from the build
 * (QELPY_DEFAULT_PROGRAM), which reads it out of qel.h. */
#define _GNU_SOURCE
#include "session.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "qel.h"

#ifndef QELPY_DEFAULT_PROGRAM
#error "QELPY_DEFAULT_PROGRAM must name the library's default program number"
#endif

struct qelpy_target {
  char host[256];
  unsigned long program;
};

struct qelpy_session {
  qelpy_target *target;
  long long wait; /* microseconds; negative: none */
  int interruptible;
  CLIENT *handle;
  int abortFd;         /* a duplicate of the handle's socket, or -1 */
  unsigned generation; /* of the process the handle was created in */
  /* Under stateLock, for qelpy_abort and qelpy_close from other threads. */
  int inCall, abortWanted, closed;
  /* The call in progress. */
  void *slot; /* what the thread's slot held */
  struct timespec started;
  unsigned int result;
  int outcome;
};

/* Creations one at a time, so that the host and program the library remembers are the ones of
 * the target being connected; the host is copied here, where it stays valid for good. */
static pthread_mutex_t creationLock = PTHREAD_MUTEX_INITIALIZER;
static char rememberedHost[256];
static pthread_mutex_t stateLock = PTHREAD_MUTEX_INITIALIZER;
/* Counts forks: a session created before one is the parent's, in a child. */
static unsigned generation = 1;
static pthread_once_t childHandler = PTHREAD_ONCE_INIT;

/* SIGINT: the socket of the interruptible call in progress, handlers running now, and whether
 * one shut a call down. */
static int armedFd = -1;
static int handlersRunning;
static int sigintAborted;
static struct sigaction replaced; /* the handler ours passes SIGINT on to */

static void startAfresh(void) {
  ++generation;
  pthread_mutex_init(&creationLock, NULL);
  pthread_mutex_init(&stateLock, NULL);
  __atomic_store_n(&armedFd, -1, __ATOMIC_SEQ_CST);
  __atomic_store_n(&handlersRunning, 0, __ATOMIC_SEQ_CST);
}

static void registerChildHandler(void) { pthread_atfork(NULL, NULL, startAfresh); }

static int keyReady(void) { return __atomic_load_n(&qel_once_initialized, __ATOMIC_ACQUIRE); }

/* Destroys a handle without touching the thread's slot. A handle of the parent, in a child,
 * closes only the child's copy of its socket. */
static void destroyHandle(CLIENT *handle) {
  void *slot = pthread_getspecific(qel_tsd_key);
  qelDisconnectConnection(handle);
  pthread_setspecific(qel_tsd_key, slot);
}

typedef struct {
  CLIENT *handle;
  int fd;
} Connection;

/* Takes the session's connection out of it (under stateLock). */
static Connection takeConnection(qelpy_session *s) {
  Connection taken = {s->handle, s->abortFd};
  s->handle = NULL;
  s->abortFd = -1;
  return taken;
}

static void release(Connection c) {
  if (c.fd >= 0) close(c.fd);
  if (c.handle != NULL) destroyHandle(c.handle);
}

/* Under stateLock: a session made before a fork forgets its connection, which is the parent's
 * (returned, to be released). */
static Connection takeParentConnection(qelpy_session *s) {
  Connection none = {NULL, -1};
  if (s->generation == generation) return none;
  s->generation = generation;
  s->inCall = s->abortWanted = 0;
  return takeConnection(s);
}

static void drop(qelpy_session *s) {
  pthread_mutex_lock(&stateLock);
  Connection parent = takeParentConnection(s);
  Connection own = takeConnection(s);
  pthread_mutex_unlock(&stateLock);
  release(parent);
  release(own);
}

static unsigned long programOf(const qelpy_target *target) {
  if (target->program != 0) return target->program;
  /* As the library reads it. */
  const char *text = getenv("QELPROGID");
  const unsigned long fromEnvironment = text ? (unsigned long)atol(text) & 0xFFFFFFFFul : 0;
  return fromEnvironment != 0 ? fromEnvironment : QELPY_DEFAULT_PROGRAM;
}

static unsigned int create(qelpy_session *s) {
  pthread_mutex_lock(&creationLock);
  memcpy(rememberedHost, s->target->host, sizeof rememberedHost);
  const unsigned long program = programOf(s->target);
  void *slot = NULL;
  if (keyReady()) {
    slot = pthread_getspecific(qel_tsd_key);
    pthread_setspecific(qel_tsd_key, NULL); /* else qelConnect keeps the thread's handle */
  }
  const unsigned int code = qelConnect(rememberedHost, program);
  CLIENT *handle = NULL;
  if (keyReady()) {
    if (code == RESULT_OK) handle = pthread_getspecific(qel_tsd_key);
    pthread_setspecific(qel_tsd_key, slot);
  }
  pthread_mutex_unlock(&creationLock);
  if (code != RESULT_OK) return code;
  int fd = -1, copy = -1;
  if (clnt_control(handle, CLGET_FD, (char *)&fd)) copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  pthread_mutex_lock(&stateLock);
  s->handle = handle;
  s->abortFd = copy;
  pthread_mutex_unlock(&stateLock);
  return RESULT_OK;
}

/* The handle's wait as the session's, changed only when it differs: the library keeps it on the
 * socket, where a change costs a system call. */
static void syncWait(qelpy_session *s) {
  struct timeval want = {-1, 0}, now;
  if (s->wait >= 0) {
    want.tv_sec = (time_t)(s->wait / 1000000);
    want.tv_usec = (suseconds_t)(s->wait % 1000000);
  }
  if (clnt_control(s->handle, CLGET_TIMEOUT, (char *)&now) && now.tv_sec == want.tv_sec &&
      now.tv_usec == want.tv_usec) {
    return;
  }
  clnt_control(s->handle, CLSET_TIMEOUT, (char *)&want);
}

static long long elapsedMicroseconds(const struct timespec *since) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (long long)(now.tv_sec - since->tv_sec) * 1000000 + (now.tv_nsec - since->tv_nsec) / 1000;
}

static int fail(qelpy_session *s, unsigned int result, int outcome) {
  pthread_mutex_lock(&stateLock);
  s->inCall = 0;
  pthread_mutex_unlock(&stateLock);
  s->result = result;
  s->outcome = outcome;
  return 0;
}

int qelpy_enter(qelpy_session *s) {
  s->result = RESULT_OK;
  s->outcome = 0;
  pthread_mutex_lock(&stateLock);
  Connection parent = takeParentConnection(s);
  const int closed = s->closed;
  s->inCall = !closed;
  s->abortWanted = 0;
  pthread_mutex_unlock(&stateLock);
  release(parent);
  if (closed) return fail(s, RESULT_CALL_FAILED, QELPY_CLOSED);
  if (s->handle == NULL) {
    const unsigned int code = create(s);
    if (code != RESULT_OK) return fail(s, code, QELPY_AT_CREATION);
    pthread_mutex_lock(&stateLock);
    const int aborted = s->abortWanted, closedMeanwhile = s->closed;
    pthread_mutex_unlock(&stateLock);
    if (closedMeanwhile) drop(s);
    if (aborted) return fail(s, RESULT_CALL_FAILED, QELPY_ABORTED);
  }
  syncWait(s);
  if (s->interruptible) __atomic_store_n(&armedFd, s->abortFd, __ATOMIC_SEQ_CST);
  s->slot = pthread_getspecific(qel_tsd_key);
  pthread_setspecific(qel_tsd_key, s->handle);
  clock_gettime(CLOCK_MONOTONIC, &s->started);
  return 1;
}

/* No SIGINT handler can reach the armed socket any more; whether one shut it down. */
static int disarm(void) {
  __atomic_store_n(&armedFd, -1, __ATOMIC_SEQ_CST);
  while (__atomic_load_n(&handlersRunning, __ATOMIC_SEQ_CST) != 0) sched_yield();
  return __atomic_exchange_n(&sigintAborted, 0, __ATOMIC_SEQ_CST);
}

void qelpy_leave(qelpy_session *s, unsigned int result) {
  CLIENT *now = pthread_getspecific(qel_tsd_key);
  pthread_setspecific(qel_tsd_key, s->slot);
  int aborted = s->interruptible ? disarm() : 0;
  Connection gone = {NULL, -1};
  pthread_mutex_lock(&stateLock);
  aborted |= s->abortWanted;
  s->inCall = 0;
  /* The library dropped the handle (a call without reply), or it is there but its socket was
   * shut down, or the session was closed meanwhile: the connection goes. */
  if (now != s->handle || aborted || s->closed) {
    gone = takeConnection(s);
    gone.handle = now;
  }
  pthread_mutex_unlock(&stateLock);
  release(gone);
  s->result = result;
  if (aborted) {
    s->outcome |= QELPY_ABORTED;
  } else if (result == RESULT_CALL_FAILED && s->wait >= 0 &&
             elapsedMicroseconds(&s->started) >= s->wait) {
    s->outcome |= QELPY_TIMED_OUT;
  }
}

unsigned int qelpy_result(const qelpy_session *s) { return s->result; }

int qelpy_outcome(const qelpy_session *s) { return s->outcome; }

unsigned int qelpy_connect(qelpy_session *s) {
  if (!qelpy_enter(s)) return s->result;
  qelpy_leave(s, RESULT_OK);
  return RESULT_OK;
}

int qelpy_disconnect(qelpy_session *s) {
  const int had = s->handle != NULL && s->generation == generation;
  drop(s);
  return had;
}

/* Under stateLock. Never in a child for its parent's call: the socket is the parent's too. */
static int shutDown(qelpy_session *s) {
  if (!s->inCall || s->generation != generation) return 0;
  s->abortWanted = 1;
  if (s->abortFd >= 0) shutdown(s->abortFd, SHUT_RDWR);
  return 1;
}

void qelpy_abort(qelpy_session *s) {
  pthread_mutex_lock(&stateLock);
  shutDown(s);
  pthread_mutex_unlock(&stateLock);
}

void qelpy_close(qelpy_session *s) {
  pthread_mutex_lock(&stateLock);
  s->closed = 1;
  const int busy = shutDown(s);
  pthread_mutex_unlock(&stateLock);
  /* A call in progress drops the connection itself when it ends. */
  if (!busy) drop(s);
}

qelpy_target *qelpy_target_new(const char *host, unsigned long program) {
  qelpy_target *target = calloc(1, sizeof *target);
  if (target != NULL && !qelpy_target_set(target, host, program)) {
    free(target);
    return NULL;
  }
  return target;
}

int qelpy_target_set(qelpy_target *target, const char *host, unsigned long program) {
  if (host != NULL && strlen(host) >= sizeof target->host) return 0;
  pthread_mutex_lock(&creationLock);
  if (host != NULL) strcpy(target->host, host);
  if (program != 0) target->program = program & 0xFFFFFFFFul;
  pthread_mutex_unlock(&creationLock);
  return 1;
}

void qelpy_target_free(qelpy_target *target) { free(target); }

unsigned long qelpy_target_program(qelpy_target *target) {
  pthread_mutex_lock(&creationLock);
  const unsigned long program = programOf(target);
  pthread_mutex_unlock(&creationLock);
  return program;
}

qelpy_session *qelpy_session_new(qelpy_target *target, long long waitMicroseconds,
                                 int interruptible) {
  pthread_once(&childHandler, registerChildHandler);
  qelpy_session *s = calloc(1, sizeof *s);
  if (s == NULL) return NULL;
  s->target = target;
  s->wait = waitMicroseconds;
  s->interruptible = interruptible;
  s->abortFd = -1;
  s->generation = generation;
  return s;
}

void qelpy_session_free(qelpy_session *s) {
  if (s == NULL) return;
  drop(s);
  free(s);
}

void qelpy_set_wait(qelpy_session *s, long long waitMicroseconds) { s->wait = waitMicroseconds; }

static void onSigint(int signal, siginfo_t *info, void *context) {
  const int saved = errno;
  __atomic_add_fetch(&handlersRunning, 1, __ATOMIC_SEQ_CST);
  const int fd = __atomic_load_n(&armedFd, __ATOMIC_SEQ_CST);
  if (fd >= 0 && shutdown(fd, SHUT_RDWR) == 0) {
    __atomic_store_n(&sigintAborted, 1, __ATOMIC_SEQ_CST);
  }
  __atomic_sub_fetch(&handlersRunning, 1, __ATOMIC_SEQ_CST);
  errno = saved;
  if (replaced.sa_flags & SA_SIGINFO) {
    replaced.sa_sigaction(signal, info, context);
  } else {
    replaced.sa_handler(signal);
  }
}

static int isOurs(const struct sigaction *action) {
  return (action->sa_flags & SA_SIGINFO) && action->sa_sigaction == onSigint;
}

int qelpy_watch_sigint(int want) {
  struct sigaction current;
  if (sigaction(SIGINT, NULL, &current) != 0) return 0;
  if (!want) {
    return isOurs(&current) && sigaction(SIGINT, &replaced, NULL) != 0;
  }
  if (isOurs(&current)) return 1;
  if (!(current.sa_flags & SA_SIGINFO) &&
      (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN)) {
    return 0;
  }
  replaced = current;
  struct sigaction ours = current;
  ours.sa_sigaction = onSigint;
  ours.sa_flags |= SA_SIGINFO;
  return sigaction(SIGINT, &ours, NULL) == 0;
}

double qelpy_decimal(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    snprintf(text, sizeof text, "%.*g", digits, (double)value);
    if (strtof(text, NULL) == value) return strtod(text, NULL);
  }
  return value;
}

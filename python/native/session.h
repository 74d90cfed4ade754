// SPDX-License-Identifier: Apache-2.0
/*
 * The connections of the Python package: one per client and thread (a session), each to its
 * client's own target, and the calls made on them.
 *
 * The library keeps one handle per thread, under qel_tsd_key, and remembers one host and
 * program number for the whole process. A session keeps a handle of its own instead: a call
 * puts it in the calling thread's slot for the length of one operation and takes it out again,
 * so whatever the slot held stays as it was, and no other client or thread can redirect the
 * session. Its handle is created from its target, under one lock of the package, by qelConnect
 * with the target's host and program spelt out, so that what the library remembers is always
 * the target being connected.
 *
 * A session is used by one thread at a time. qelpy_abort and qelpy_close may come from any
 * thread: they end a call in progress at once by shutting its socket down, which the call reads
 * as a broken connection. SIGINT does the same to a call of an interruptible session (the main
 * thread's), once qelpy_watch_sigint has put the package's handler in front of the
 * interpreter's.
 */
#ifndef QEL_PYTHON_SESSION_H
#define QEL_PYTHON_SESSION_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct qelpy_target qelpy_target;
typedef struct qelpy_session qelpy_session;

/* What became of the last call, besides its result (bits of qelpy_outcome). */
#define QELPY_AT_CREATION 1 /* no connection could be made: the result is qelConnect's */
#define QELPY_TIMED_OUT 2   /* no reply within the session's wait */
#define QELPY_ABORTED 4     /* ended by qelpy_abort, qelpy_close or SIGINT */
#define QELPY_CLOSED 8      /* the session was closed: nothing was called */

/* A host (at most 255 bytes) and program number. A program of 0 is read at every creation:
 * QELPROGID's decimal value when it is set and not 0, else the library's default. NULL when out
 * of memory or the host is too long. */
qelpy_target *qelpy_target_new(const char *host, unsigned long program);
/* Changes the target for the sessions' later creations: a non-NULL host, a non-zero program.
 * 0 when the host is too long (nothing changes). */
int qelpy_target_set(qelpy_target *target, const char *host, unsigned long program);
void qelpy_target_free(qelpy_target *target);
/* The program number a creation would use now. */
unsigned long qelpy_target_program(qelpy_target *target);

/* A session to target, which must outlive it, with no connection yet. waitMicroseconds is the
 * wait of every call (negative: none). An interruptible session's calls end on SIGINT. */
qelpy_session *qelpy_session_new(qelpy_target *target, long long waitMicroseconds,
                                 int interruptible);
/* Drops the connection (no byte written) and frees the session; no call may be in progress. */
void qelpy_session_free(qelpy_session *session);
void qelpy_set_wait(qelpy_session *session, long long waitMicroseconds);

/* Around one operation: qelpy_enter connects if needed and puts the session's handle in the
 * thread's slot (1), or fails (0: qelpy_result and qelpy_outcome say why); qelpy_leave, after
 * an operation that returned result, puts the slot back as it was. */
int qelpy_enter(qelpy_session *session);
void qelpy_leave(qelpy_session *session, unsigned int result);
unsigned int qelpy_result(const qelpy_session *session);
int qelpy_outcome(const qelpy_session *session);

/* Connects now unless connected: RESULT_OK or qelConnect's result. */
unsigned int qelpy_connect(qelpy_session *session);
/* Drops the connection: 1 when there was one. */
int qelpy_disconnect(qelpy_session *session);
/* Ends the call in progress, if any. */
void qelpy_abort(qelpy_session *session);
/* Ends the call in progress and drops the connection; later calls fail with QELPY_CLOSED. */
void qelpy_close(qelpy_session *session);

/* want non-zero: makes the package's SIGINT handler the process's, passing the signal on to the
 * handler it replaces, when that is neither the default nor "ignore"; zero: puts the replaced
 * one back. Returns 1 when the package's handler is in place afterwards. */
int qelpy_watch_sigint(int want);

/* value as the shortest decimal that reads back as the same float. */
double qelpy_decimal(float value);

#ifdef __cplusplus
}
#endif

#endif /* QEL_PYTHON_SESSION_H */

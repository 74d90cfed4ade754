// SPDX-License-Identifier: Apache-2.0
/*
 * libqel: client library for the management server of the service processor.
 *
 * Rules every function of this header follows:
 *
 * - Results. Every operation returns an unsigned 32-bit result code; 0 (RESULT_OK) is success.
 *   The library's own codes are the RESULT_* values below; any other value is the management
 *   server's own code, passed on unchanged (a server reply of -1 reaches the caller as
 *   4294967295). qelInternalState and qelSetDebugLevel are the two exceptions; see there.
 *   Every remote operation first connects the thread if it has no handle (a failure returns
 *   the code of qelConnect) and turns a call that gets no reply into RESULT_CALL_FAILED.
 * - Connections. Each thread has its own ONC RPC client handle and its own TCP connection,
 *   opened by the first remote operation of the thread (or by qelConnect) and kept until
 *   qelDisconnect, a call that gets no reply (RESULT_CALL_FAILED), qelStopServer, or the end of
 *   the thread. A call that gets no reply is never retried; the thread's next operation connects
 *   anew. The connection's socket is close-on-exec, so programs the host executes do not
 *   inherit it (see Port mapper restarts for when it is so from its creation).
 * - Time. A call waits for its reply as long as the thread's handle allows: 25 s, 180 s after
 *   qelResetToDefaultSettings, or what the host set with CLNT_CONTROL(CLSET_TIMEOUT). The wait
 *   counts from the moment the call starts sending: sending the request and reading the reply
 *   together take no longer, however many signals arrive meanwhile and however slowly the
 *   server reads or answers. A wait of zero sends the call and fails it at once; a negative one
 *   waits without end. Creating a connection takes at most 25 s, counted once the connection
 *   lock is held: see qelConnect.
 * - Cancellation. A thread of the host may be cancelled (deferred cancellation) while an
 *   operation waits on the network: during a creation's connects and its port mapper exchange,
 *   and during a call's send and wait for the reply. The operation then gives back what it
 *   holds (the connection lock, its sockets, a reply decoded in part); a cancelled call's
 *   connection is closed with the thread, as at any thread's end. Everywhere else, name
 *   resolution and every entry into the RPC layer included, a cancellation waits for the next
 *   such wait or for the operation's return. Asynchronous cancellation is not supported.
 * - Outputs. Outputs are written through caller pointers, only on success unless an operation
 *   says otherwise. An output pointer may be NULL, and is then not written, unless the
 *   operation marks it with one of two words:
 *     "required": a NULL pointer is refused before any connection or call, with
 *       RESULT_INVALID_ARGUMENT (RESULT_NULL_ARGUMENT for the address text conversions);
 *     "must not be NULL": the pointer is not checked; a NULL one is used as it stands.
 * - Null input texts. Unless an operation says otherwise (for instance that it sends ""), a
 *   NULL input text is passed on; it cannot be encoded, and the call fails with
 *   RESULT_CALL_FAILED.
 * - Ownership. The caller owns every text and block handed out and releases each with free().
 *   A text of less than 64 KiB is a fresh copy; a larger one is the block the reply was decoded
 *   into, handed over without a copy and no longer referenced by the library. Input texts are
 *   only read.
 * - Threads. Any thread may call any operation at any time. Threads never wait for each other,
 *   except on the host's connection lock around client creation (see qelConnect), and a
 *   thread creating or dropping a connection while a fork is in progress (see Fork below). A
 *   call never waits for another thread's call, nor for a fork.
 * - Widths. Every "unsigned long" in this header is a 32-bit value on the wire (an XDR unsigned
 *   int). On a host where unsigned long is 64 bits wide only the low 32 bits are sent, and a
 *   received value is always 0 to 4294967295, so 4294967295 travels as FF FF FF FF and reads back
 *   unchanged.
 * - Signals. A write on a connection the server has dropped raises no SIGPIPE in the host: calls
 *   and creations write with MSG_NOSIGNAL and change no signal mask. A call on a handle the host
 *   stored under qel_tsd_key itself, and a creation left to the RPC layer (see Port mapper
 *   restarts), hold SIGPIPE blocked for the calling thread and take back one raised meanwhile,
 *   unless the host blocks SIGPIPE itself (a pending one may then be its own and stays).
 *   Dispositions and other signals are left alone: a handler runs as soon as its signal arrives,
 *   and a signal caught during a call or a creation does not lengthen its wait (see Time).
 * - Nothing is printed or logged, and no operation starts a thread, timer or queue.
 */
#ifndef QEL_H
#define QEL_H

/* Version of this header and of the library built with it. The major number is the one in
 * the library's file name (libqel.so.1); programs built against one major run with any later
 * minor or patch of it. */
#define QEL_VERSION_MAJOR 1
#define QEL_VERSION_MINOR 0
#define QEL_VERSION_PATCH 0

#include <pthread.h>
#include <rpc/rpc.h>

#if defined(QEL_BUILDING_LIBRARY)
#define QEL_API __attribute__((visibility("default")))
#else
#define QEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Result codes produced by the library itself.
 * ------------------------------------------------------------------------------------------- */
/* Success. */
#define RESULT_OK 0u
/* No reply: a timeout, a broken connection, an encoding or decoding failure or an RPC
 * rejection. The thread's handle was dropped. */
#define RESULT_CALL_FAILED 2u
/* qelDisconnect, qelDisconnectConnection: there was no handle to destroy. */
#define RESULT_NOT_CONNECTED 3u
/* An argument, a text or a returned value was rejected. */
#define RESULT_INVALID_ARGUMENT 4u
/* The value asked for is not available. */
#define RESULT_NOT_AVAILABLE 5u
/* A required pointer of an address text conversion is NULL. */
#define RESULT_NULL_ARGUMENT 7u
/* Out of memory, or the client could not be set up otherwise. */
#define RESULT_NO_RESOURCES 8u
/* Client creation: connection refused or access denied. */
#define RESULT_CONNECTION_REFUSED 12u
/* Client creation: host unreachable. */
#define RESULT_HOST_UNREACHABLE 13u
/* Client creation: host down. */
#define RESULT_HOST_DOWN 14u
/* The product map file cannot be opened. */
#define RESULT_FILE_UNAVAILABLE 18u
/* The program is not registered with the port mapper. */
#define RESULT_NOT_REGISTERED 24u
/* A text holds more DNS servers than can be sent. */
#define RESULT_TOO_MANY_VALUES 26u

/* ---------------------------------------------------------------------------------------------
 * Connection.
 *
 * The host program must define lockSharedRPCConnectionMutex and unlockSharedRPCConnectionMutex;
 * the library calls them around every client creation and leaves them undefined. Between the two
 * calls no other client creation of the process may run. Programs that have no lock of their
 * own link the static library qel_host, which supplies one. Around fork the library takes this
 * lock too (before fork, released in parent and child), so a host must not fork while holding
 * it, and a fork waits at most for the creation in progress (25 s at the most).
 *
 * Port mapper restarts. A connection is created by asking the server host's port mapper for the
 * program's port and then connecting to that port, over IPv4: a program the port mapper has
 * registered for IPv4 TCP (as pmap_set registers it) is found whatever else the host's name
 * stands for (localhost is also ::1 in Debian's /etc/hosts); one registered for IPv6 only is
 * RESULT_NOT_REGISTERED. libtirpc before 1.3.4 remembers the port mapper's address from one
 * creation to the next and aborts the process when a later creation finds it unreachable (the
 * port mapper restarting, a full descriptor table). Built against such a libtirpc the library
 * creates connections itself: a connection of its own to the port mapper each time (nothing is
 * remembered), the port asked over the library's own call path, then the server's connection,
 * every wait within the creation's 25 s and no signal mask changed, both sockets close-on-exec
 * from the start and bound to no reserved port. The results: RESULT_CONNECTION_REFUSED while the
 * port mapper or the server refuses connections, RESULT_NOT_REGISTERED while the program is not
 * registered, RESULT_NO_RESOURCES for a port mapper or server that did not answer within the 25
 * s; the connection works again once both are back. Built against libtirpc 1.3.4 or later the
 * library leaves creation to the RPC layer (clnt_tp_create_timed over its "tcp" transport),
 * which bounds each port mapper exchange to 25 s but neither its connects (the kernel's own
 * timeout, about two minutes) nor their sum, blocks every signal and holds off cancellation
 * throughout, and binds a reserved port when the host runs as root; the library marks its
 * socket close-on-exec at once, under the connection lock, which fork waits for (posix_spawn
 * runs no fork handlers and could still copy it in that instant). Such a build is safe only on
 * libtirpc 1.3.4 or later, which its Debian package therefore requires. The build log says
 * which way a build takes ("clients are created by clnt_create" or "the library looks up
 * server ports itself").
 *
 * Fork. A child never uses its parent's connection. The forking thread's handle, inherited with
 * the thread, is recognised by the process id it was created in and forgotten at the child's
 * first use of the library: released without a byte written on the parent's connection (only
 * the child's copy of the socket is closed), so qelDisconnect in such a child returns
 * RESULT_NOT_CONNECTED and its first operation connects anew. The parent's connection carries
 * on untouched. fork waits for a client creation or destruction in progress, so that the child
 * finds neither the connection lock nor any of the RPC layer's locks held, but never for a call:
 * a call on the library's handles enters no shared state of the RPC layer.
 *
 * Handles. The library's handles send no credentials. A call on one whose cl_auth the host
 * replaced with other credentials is refused without a byte sent (clnt_call gives
 * RPC_AUTHERROR; an operation RESULT_CALL_FAILED). CLNT_CONTROL on them answers CLSET_TIMEOUT,
 * CLGET_TIMEOUT, CLSET_XID, CLGET_XID, CLSET_PROG, CLGET_PROG, CLSET_VERS, CLGET_VERS, CLGET_FD,
 * CLGET_SVC_ADDR, CLGET_SERVER_ADDR, CLSET_FD_CLOSE and CLSET_FD_NCLOSE, and refuses any other
 * request. A call whose request went out only in part leaves the handle out of step with the
 * server: every later call on it fails at once.
 * ------------------------------------------------------------------------------------------- */
void lockSharedRPCConnectionMutex(void);
void unlockSharedRPCConnectionMutex(void);

/* Key under which each thread keeps its handle (all bits set until it exists), the once-control
 * that guards its creation, and the flag set to 1 once it exists. */
QEL_API extern pthread_key_t qel_tsd_key;
QEL_API extern pthread_once_t qel_key_once;
QEL_API extern int qel_once_initialized;

/* Opens the calling thread's handle unless it has one (then returns RESULT_OK and ignores the
 * arguments). A non-NULL host is remembered by reference for every later connection of every
 * thread: keep the text valid. programNumber counts by its low 32 bits: a non-zero one is
 * remembered; 0 takes the decimal value of QELPROGID when set (read with atol, so "0x10" gives
 * 0), else the remembered number (default 0x2051454C). Returns RESULT_OK, RESULT_NO_RESOURCES,
 * RESULT_CONNECTION_REFUSED, RESULT_HOST_UNREACHABLE, RESULT_HOST_DOWN or
 * RESULT_NOT_REGISTERED. The creation takes at most 25 s once it holds the connection lock (see
 * Port mapper restarts for a build that leaves it to the RPC layer); the host name is resolved
 * within it by the system's resolver, whose own timeouts apply. The result comes of the status
 * that failed, never of an errno left over: a refused or unreachable connection is its system
 * error, anything else (a name that does not resolve, a peer that did not answer in time, an
 * answer that is no port) RESULT_NO_RESOURCES. After a failure the calling thread's
 * rpc_createerr tells why, as after a clnt_create: RPC_UNKNOWNHOST, RPC_SYSTEMERROR with the
 * errno (ETIMEDOUT for a connect that ran out of time), RPC_PMAPFAILURE with the port mapper
 * exchange's error (RPC_TIMEDOUT), RPC_PROGNOTREGISTERED. */
QEL_API unsigned int qelConnect(const char *host, unsigned long programNumber);
/* Drops the calling thread's handle: RESULT_OK, or RESULT_NOT_CONNECTED when it had none. */
QEL_API unsigned int qelDisconnect(void);
/* Empties the calling thread's slot, then destroys handle (which must be the thread's own or
 * NULL): RESULT_OK, or RESULT_NOT_CONNECTED for NULL. */
QEL_API unsigned int qelDisconnectConnection(CLIENT *handle);
/* Creates qel_tsd_key; run once through qel_key_once. */
QEL_API void qel_once_routine(void);
/* Destructor of qel_tsd_key: destroys a handle left by an ending thread. */
QEL_API void qel_once_destructor(void *value);

/* ---------------------------------------------------------------------------------------------
 * Wire records and their codecs. Each codec serves encode, decode and free, and returns 1 on
 * success, 0 otherwise. Strings have no length limit unless stated. Decoded strings and arrays
 * are heap blocks released by the free direction, which leaves their pointers NULL.
 * ------------------------------------------------------------------------------------------- */
typedef struct rpc_StringAndEC {
  int errorCode;
  char *text;
} rpc_StringAndEC;

typedef struct rpc_FloatAndEC {
  int errorCode;
  float value;
} rpc_FloatAndEC;

/* Carried by no procedure; its fields have no meaning to the library. */
typedef struct rpc_MountInfo {
  int number1;
  char *text1;
  char *text2;
  int number2;
  unsigned long unsignedNumber; /* 32 bits on the wire */
  char *text3;
  char *text4;
} rpc_MountInfo;

typedef struct rpc_Interface {
  unsigned int interfaceId;
  unsigned int configSelector;
} rpc_Interface;

/* Flags are bytes sent as 4-byte integers; decoding keeps the low 8 bits. The label holds at
 * most 32 bytes and the hardware address at most 6. */
typedef struct rpc_IPState {
  rpc_Interface interface;
  int errorCode;
  unsigned int ipAddress;
  unsigned int netmask;
  unsigned int gateway;
  unsigned char enabled;
  unsigned char ipAddressValid;
  unsigned char netmaskValid;
  unsigned char gatewayValid;
  unsigned char dhcp;
  char *label;
  unsigned int hardwareAddressCount;
  unsigned char *hardwareAddress;
  char *requestText;
} rpc_IPState;

typedef struct rpc_DNSState {
  int errorCode;
  unsigned int configSelector;
  unsigned int server1;
  unsigned char server1Valid;
  unsigned int server2;
  unsigned char server2Valid;
  unsigned int server3;
  unsigned char server3Valid;
  char *dnsText;
} rpc_DNSState;

typedef struct rpc_Hostname {
  unsigned int configSelector;
  char *hostname;
} rpc_Hostname;

typedef struct rpc_PlatformSetAction {
  int actionCode;
  int actionOption; /* 0 to 255 when built by qelPlatformSetAction */
  int actionValue;
  char *actionText;
} rpc_PlatformSetAction;

typedef struct rpc_PlatformMCEvent {
  int eventValue1;
  int eventValue2;
  int eventValue3;
  char *eventText;
} rpc_PlatformMCEvent;

typedef struct rpc_PlatformDimmEvent {
  int eventValue1;
  int eventValue2;
  int eventValue3;
  int eventValue4;
  char *eventText;
} rpc_PlatformDimmEvent;

typedef struct rpc_SysSetSensorInfo {
  char *sensorId;
  float value;
} rpc_SysSetSensorInfo;

/* Flags travel as 4-byte integers holding 0 to 255; decoding keeps the low 8 bits. */
typedef struct rpc_SysSensorThresholds {
  float threshold1;
  float threshold2;
  float threshold3;
  float threshold4;
  unsigned char thresholdFlag1;
  unsigned char thresholdFlag2;
  unsigned char thresholdFlag3;
  unsigned char thresholdFlag4;
} rpc_SysSensorThresholds;

typedef struct rpc_SysSetSensorThresh {
  char *sensorId;
  rpc_SysSensorThresholds thresholds;
} rpc_SysSetSensorThresh;

typedef struct rpc_SysGetSensorThresh {
  int errorCode;
  rpc_SysSensorThresholds thresholds;
} rpc_SysGetSensorThresh;

/* At most 4 goodness values. */
typedef struct rpc_SysGetVRMGoodness {
  int errorCode;
  unsigned int goodnessCount;
  int *goodness;
} rpc_SysGetVRMGoodness;

typedef struct rpc_SensorInfo {
  int errorCode;
  char *text1;
  char *text2;
  char *text3;
  char *text4;
  char *text5;
  char *text6;
  char *text7;
  int intValue1;
  int intValue2;
  float realValue1;
  float realValue2;
  float realValue3;
  int intValue3;
  int intValue4;
  int intValue5;
} rpc_SensorInfo;

typedef struct rpc_SensorList {
  int selector1;
  int selector2;
} rpc_SensorList;

typedef struct rpc_SensorListIDList {
  char *sensorId;
} rpc_SensorListIDList;

typedef struct rpc_SensorListReturn {
  int errorCode;
  unsigned int sensorIdCount;
  rpc_SensorListIDList *sensorIds;
} rpc_SensorListReturn;

/* 26 integers, 104 bytes on the wire. */
typedef struct rpc_FanDebugState {
  int errorCode;
  int debugValue1;
  int debugValue2;
  int debugValue3;
  int debugValue4;
  int debugValue5;
  int debugValue6;
  int debugValue7;
  int debugValue8;
  int entryCount;
  int entries[16];
} rpc_FanDebugState;

/* The settings are named by their parameter position in the console operations, which is not
 * their position in the record. 24 bytes on the wire. */
typedef struct rpc_ConsoleConfig {
  int errorCode;
  int consoleValue3;
  int consoleValue2;
  int consoleValue4;
  unsigned long consoleValue5; /* 32 bits on the wire */
  int consoleValue1;
} rpc_ConsoleConfig;

/* 20 bytes on the wire. */
typedef struct rpc_CPUConfig {
  int cpuValue1;
  unsigned int cpuValue2;
  unsigned int cpuValue3;
  int cpuValue4;
  unsigned int cpuValue5;
} rpc_CPUConfig;

typedef struct rpc_PBMstring {
  unsigned int pbmSelector;
  char *pbmText;
} rpc_PBMstring;

/* 8 bytes on the wire. */
typedef struct rpc_ProcessInfo {
  int pid;
  unsigned long processTag; /* 32 bits on the wire */
} rpc_ProcessInfo;

QEL_API bool_t xdr_rpc_StringAndEC(XDR *xdrs, rpc_StringAndEC *record);
QEL_API bool_t xdr_rpc_FloatAndEC(XDR *xdrs, rpc_FloatAndEC *record);
QEL_API bool_t xdr_rpc_MountInfo(XDR *xdrs, rpc_MountInfo *record);
QEL_API bool_t xdr_rpc_Interface(XDR *xdrs, rpc_Interface *record);
QEL_API bool_t xdr_rpc_IPState(XDR *xdrs, rpc_IPState *record);
QEL_API bool_t xdr_rpc_DNSState(XDR *xdrs, rpc_DNSState *record);
QEL_API bool_t xdr_rpc_Hostname(XDR *xdrs, rpc_Hostname *record);
QEL_API bool_t xdr_rpc_PlatformSetAction(XDR *xdrs, rpc_PlatformSetAction *record);
QEL_API bool_t xdr_rpc_PlatformMCEvent(XDR *xdrs, rpc_PlatformMCEvent *record);
QEL_API bool_t xdr_rpc_PlatformDimmEvent(XDR *xdrs, rpc_PlatformDimmEvent *record);
QEL_API bool_t xdr_rpc_SysSetSensorInfo(XDR *xdrs, rpc_SysSetSensorInfo *record);
QEL_API bool_t xdr_rpc_SysSensorThresholds(XDR *xdrs, rpc_SysSensorThresholds *record);
QEL_API bool_t xdr_rpc_SysSetSensorThresh(XDR *xdrs, rpc_SysSetSensorThresh *record);
QEL_API bool_t xdr_rpc_SysGetSensorThresh(XDR *xdrs, rpc_SysGetSensorThresh *record);
QEL_API bool_t xdr_rpc_SysGetVRMGoodness(XDR *xdrs, rpc_SysGetVRMGoodness *record);
QEL_API bool_t xdr_rpc_SensorInfo(XDR *xdrs, rpc_SensorInfo *record);
QEL_API bool_t xdr_rpc_SensorList(XDR *xdrs, rpc_SensorList *record);
QEL_API bool_t xdr_rpc_SensorListIDList(XDR *xdrs, rpc_SensorListIDList *record);
QEL_API bool_t xdr_rpc_SensorListReturn(XDR *xdrs, rpc_SensorListReturn *record);
QEL_API bool_t xdr_rpc_FanDebugState(XDR *xdrs, rpc_FanDebugState *record);
QEL_API bool_t xdr_rpc_ConsoleConfig(XDR *xdrs, rpc_ConsoleConfig *record);
QEL_API bool_t xdr_rpc_CPUConfig(XDR *xdrs, rpc_CPUConfig *record);
QEL_API bool_t xdr_rpc_PBMstring(XDR *xdrs, rpc_PBMstring *record);
QEL_API bool_t xdr_rpc_ProcessInfo(XDR *xdrs, rpc_ProcessInfo *record);

/* ---------------------------------------------------------------------------------------------
 * Client stubs: one per procedure, version 1. Each encodes *argp (NULL for none; for a string,
 * the address of the char *), calls its procedure on clnt with a 25-second timeout (unless clnt
 * has a wait of its own; see Time) and returns
 * its reply storage, or NULL on any failure. Reply storage is private to the calling thread and
 * procedure, holds one reply until the next call of that procedure on that thread, and is
 * released with clnt_freeres(clnt, <reply codec>, reply). Each remote operation below calls the
 * stub named like it without "qel", in lower case, with "_1" (qelGetIP calls getip_1); where the
 * names differ, the operation names its stub, and one built on another operation says which.
 * ------------------------------------------------------------------------------------------- */
QEL_API int *stop_qel_server_1(void *argp, CLIENT *clnt);
QEL_API int *configure_qel_server_1(void *argp, CLIENT *clnt);
QEL_API int *reboot_sp_1(void *argp, CLIENT *clnt);
QEL_API int *platformgetstate_1(void *argp, CLIENT *clnt);
QEL_API int *platformsetaction_1(rpc_PlatformSetAction *argp, CLIENT *clnt);
QEL_API int *platformgetpowerstate_1(void *argp, CLIENT *clnt);
QEL_API int *platformgetpowerlevel_1(void *argp, CLIENT *clnt);
QEL_API int *platformsetpowerlevel_1(int *argp, CLIENT *clnt);
QEL_API int *platformsetpowerstate_1(int *argp, CLIENT *clnt);
QEL_API int *platformbutton_1(int *argp, CLIENT *clnt);
QEL_API int *platformmcevent_1(rpc_PlatformMCEvent *argp, CLIENT *clnt);
QEL_API int *platformgettype_1(char **argp, CLIENT *clnt);
QEL_API int *platformgetoffreason_1(void *argp, CLIENT *clnt);
QEL_API int *platformdimmevent_1(rpc_PlatformDimmEvent *argp, CLIENT *clnt);
QEL_API rpc_IPState *getip_1(rpc_Interface *argp, CLIENT *clnt);
QEL_API int *setip_1(rpc_IPState *argp, CLIENT *clnt);
QEL_API rpc_DNSState *getdns_1(unsigned int *argp, CLIENT *clnt);
QEL_API int *setdns_1(rpc_DNSState *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *gethostname_1(unsigned int *argp, CLIENT *clnt);
QEL_API int *sethostname_1(rpc_Hostname *argp, CLIENT *clnt);
QEL_API int *setdate_1(char **argp, CLIENT *clnt);
QEL_API int *resettodefaultsettings_1(unsigned short *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *getpbmstring_1(unsigned int *argp, CLIENT *clnt);
QEL_API int *setpbmstring_1(rpc_PBMstring *argp, CLIENT *clnt);
QEL_API rpc_SensorInfo *getsensorinfo_1(char **argp, CLIENT *clnt);
QEL_API rpc_SensorListReturn *getsensorlist_1(rpc_SensorList *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetsensorvaluesxml_1(void *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetsensorvaluesascii_1(void *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetsensorvaluesforcomponentxml_1(char **argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetsensorvaluesforcomponentascii_1(char **argp, CLIENT *clnt);
QEL_API rpc_FloatAndEC *sysgetsensorvalue_1(char **argp, CLIENT *clnt);
QEL_API int *syssetsensorvalue_1(rpc_SysSetSensorInfo *argp, CLIENT *clnt);
QEL_API int *sysgetcomponentstatus_1(char **argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetcomponentstatusall_1(void *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetesvaluesforcomponentxml_1(char **argp, CLIENT *clnt);
QEL_API rpc_ConsoleConfig *sysgetconsoleconfig_1(void *argp, CLIENT *clnt);
QEL_API int *syssetconsoleconfig_1(rpc_ConsoleConfig *argp, CLIENT *clnt);
QEL_API rpc_StringAndEC *sysgetpresencedetectall_1(void *argp, CLIENT *clnt);
QEL_API int *sysgetpresencedetect_1(char **argp, CLIENT *clnt);
QEL_API int *syssetcpuconfiguration_1(rpc_CPUConfig *argp, CLIENT *clnt);
QEL_API int *syssetsensorthresholds_1(rpc_SysSetSensorThresh *argp, CLIENT *clnt);
QEL_API rpc_SysGetSensorThresh *sysgetsensorthresholds_1(char **argp, CLIENT *clnt);
QEL_API rpc_SysGetVRMGoodness *sysgetvrmgoodness_1(int *argp, CLIENT *clnt);
QEL_API int *registerpid_1(rpc_ProcessInfo *argp, CLIENT *clnt);
QEL_API int *notify_1(int *argp, CLIENT *clnt);
QEL_API char **internalstate_1(void *argp, CLIENT *clnt);
QEL_API int *setdbglevel_1(int *argp, CLIENT *clnt);
QEL_API rpc_FanDebugState *getfanstate_1(void *argp, CLIENT *clnt);

/* ---------------------------------------------------------------------------------------------
 * Server control.
 * ------------------------------------------------------------------------------------------- */
/* Asks the management server to stop (stop_qel_server_1). The thread never holds a handle
 * afterwards. */
QEL_API unsigned int qelStopServer(void);
/* Asks the management server to configure itself (configure_qel_server_1); the handle stays
 * open. */
QEL_API unsigned int qelConfigureServer(void);
/* Asks for a reboot of the service processor (reboot_sp_1); the handle stays open. */
QEL_API unsigned int qelRebootSP(void);

/* ---------------------------------------------------------------------------------------------
 * Network configuration. Addresses are 32-bit values with the first dotted number in the most
 * significant byte (10.1.2.3 is 0x0A010203). configSelector is sent unchanged.
 * ------------------------------------------------------------------------------------------- */
/* Formats address as dotted-quad text into a new heap text; no remote call. addressText is
 * required. RESULT_NO_RESOURCES when out of memory (*addressText is then NULL). */
QEL_API unsigned int qelIPAddressToString(unsigned int address, char **addressText);
/* Reads "%u.%u.%u.%u" (blanks before each number skipped, text after the fourth number
 * ignored, "010" is ten); no remote call. Both pointers are required. RESULT_INVALID_ARGUMENT
 * when fewer than four numbers are read or one is above 255 (a number too large for 32 bits
 * included), leaving *address untouched. */
QEL_API unsigned int qelStringToIPAddress(const char *addressText, unsigned int *address);
/* Sends the date text unchanged; a NULL date is passed on (RESULT_CALL_FAILED). */
QEL_API unsigned int qelSetDate(const char *date);
/* Current time of this machine in UTC, "YYYY-MM-DD HH:MM:SS GMT" (23 characters), in a new heap
 * text; no remote call. date is required. RESULT_NO_RESOURCES when out of memory. */
QEL_API unsigned int qelGetDate(char **date);

/* Caller-side record of qelGetIP. The flags are 0 or 1; only those five bits are written. */
typedef struct IPInfo {
  unsigned int enabled : 1;
  unsigned int ipAddressValid : 1;
  unsigned int netmaskValid : 1;
  unsigned int gatewayValid : 1;
  unsigned int dhcp : 1;
  unsigned int ipAddress; /* copied whatever its flag */
  unsigned int netmask;
  unsigned int gateway;
  char label[32];                   /* at most 31 characters, NUL-filled */
  unsigned char hardwareAddress[6]; /* zeros when the server reports none */
} IPInfo;

/* Reads one interface's settings into *info (may be NULL: only the result is returned). A label
 * of 32 characters keeps its first 31. A hardware address of 1 to 5 bytes is copied and the
 * missing bytes are zero. A label over 32 bytes or more than 6 address bytes fails the call
 * (RESULT_CALL_FAILED). */
QEL_API unsigned int qelGetIP(unsigned int configSelector, unsigned int interfaceId, IPInfo *info);
/* qelGetIP handed out piecewise; every pointer may be NULL and each output is filled on its own
 * pointer alone. Addresses the server marks absent give NULL; present ones a new dotted-quad
 * text. label gets a new text, hardwareAddress a new 6-byte block. On RESULT_NO_RESOURCES the
 * texts already handed out stay with the caller and later outputs are untouched. */
QEL_API unsigned int qelGetIP_Str(unsigned int configSelector, unsigned int interfaceId,
                                  int *enabled, int *dhcp, char **ipAddress, char **netmask,
                                  char **gateway, char **label, unsigned char **hardwareAddress);
/* Writes one interface's settings. dhcp non-zero sends no addresses; otherwise a NULL address
 * pointer sends that address absent, and an ipAddress of 0 sends the interface disabled. A NULL
 * requestText sends "". */
QEL_API unsigned int qelSetIP(unsigned int configSelector, unsigned int interfaceId,
                              unsigned char enabled, int dhcp, const unsigned int *ipAddress,
                              const unsigned int *netmask, const unsigned int *gateway,
                              const char *requestText);
/* qelSetIP with dotted-quad texts; NULL texts send the address absent. With enabled non-zero
 * and dhcp 0 the texts are converted first: a malformed one gives RESULT_INVALID_ARGUMENT and
 * nothing is sent. With
 * enabled 0 and dhcp 0 every given text is sent present, as its address when it reads as one
 * and as 0 otherwise. With dhcp non-zero the texts are ignored. */
QEL_API unsigned int qelSetIP_Str(unsigned int configSelector, unsigned int interfaceId,
                                  int enabled, int dhcp, const char *ipAddress, const char *netmask,
                                  const char *gateway, const char *requestText);

/* Reads up to three DNS servers (0 for an absent one) and the DNS text (new heap copy)
 * (getdns_1). */
QEL_API unsigned int qelGetDNS3(unsigned int configSelector, unsigned int *server1,
                                unsigned int *server2, unsigned int *server3, char **dnsText);
/* qelGetDNS3 for server 1 only. */
QEL_API unsigned int qelGetDNS(unsigned int configSelector, unsigned int *server1, char **dnsText);
/* *servers receives the present servers joined by ", " ("10.0.0.1, 10.0.0.3") in a new text, or
 * NULL when none is present; dnsText as qelGetDNS3. */
QEL_API unsigned int qelGetDNS_Str(unsigned int configSelector, char **servers, char **dnsText);
/* Writes the DNS servers (setdns_1): a NULL pointer sends that server absent, a NULL dnsText
 * sends "". */
QEL_API unsigned int qelSetDNS3(unsigned int configSelector, const unsigned int *server1,
                                const unsigned int *server2, const unsigned int *server3,
                                const char *dnsText);
/* qelSetDNS3 with servers 2 and 3 absent. */
QEL_API unsigned int qelSetDNS(unsigned int configSelector, const unsigned int *server1,
                               const char *dnsText);
/* Up to three dotted-quad addresses separated by any run of spaces and commas; blanks before
 * the first entry are skipped. An entry runs from its address to the next space, comma or end,
 * and what follows the address in it is ignored ("1.1.1.1;2.2.2.2" is one server; in
 * "1.1.1.1,\t 2.2.2.2" the tab starts an entry that reads 2.2.2.2, then 2.2.2.2 again). NULL
 * or "" sends all three absent; "0.0.0.0" is sent as a present server. A malformed entry, a
 * leading comma or a text of separators only gives RESULT_INVALID_ARGUMENT, a fourth entry
 * RESULT_TOO_MANY_VALUES whatever it holds; nothing is sent then. */
QEL_API unsigned int qelSetDNS_Str(unsigned int configSelector, const char *servers,
                                   const char *dnsText);
/* Reads the hostname into a new heap text. */
QEL_API unsigned int qelGetHostname(unsigned int configSelector, char **hostname);
/* Writes the hostname; NULL sends "". */
QEL_API unsigned int qelSetHostname(unsigned int configSelector, const char *hostname);
/* Asks the server to restore its defaults, sending *resetSelector. Sets a wait of 180 s on the
 * thread's handle first; it stays for every later call until the handle is dropped. A
 * resetSelector is required. */
QEL_API unsigned int qelResetToDefaultSettings(const unsigned short *resetSelector);

/* ---------------------------------------------------------------------------------------------
 * Platform control.
 * ------------------------------------------------------------------------------------------- */
/* Signed value replies: a negative reply -n gives result n. */
/* Platform state; *platformState gets 0 on a negative reply. */
QEL_API unsigned int qelPlatformGetState(int *platformState);
/* Sends the action; actionOption travels as 0 to 255; a NULL actionText sends "". */
QEL_API unsigned int qelPlatformSetAction(int actionCode, unsigned char actionOption,
                                          int actionValue, const char *actionText);
/* Power state; *powerState gets 0 on a negative reply. */
QEL_API unsigned int qelPlatformGetPowerState(int *powerState);
QEL_API unsigned int qelPlatformSetPowerState(int powerState);
/* Power level; *powerLevel is untouched on a negative reply. */
QEL_API unsigned int qelPlatformGetPowerLevel(int *powerLevel);
QEL_API unsigned int qelPlatformSetPowerLevel(int powerLevel);
/* Reason of the last shutdown (platformgetoffreason_1). shutdownReason is required. */
QEL_API unsigned int qelPlatformGetShutdownReason(int *shutdownReason);
/* Reports a machine-check event (platformmcevent_1); a NULL eventText is passed on. */
QEL_API unsigned int qelPlatformMachineCheckEvent(int eventValue1, int eventValue2, int eventValue3,
                                                  const char *eventText);
/* Reports a DIMM error (platformdimmevent_1); a NULL eventText is passed on. */
QEL_API unsigned int qelPlatformLogDimmError(int eventValue1, int eventValue2, int eventValue3,
                                             int eventValue4, const char *eventText);
QEL_API unsigned int qelPlatformButton(int button);
/* Platform type for typeKey. platformType is required and receives every reply that comes
 * back; a reply of 0 gives RESULT_INVALID_ARGUMENT. A NULL typeKey is passed on. */
QEL_API unsigned int qelPlatformGetType(const char *typeKey, int *platformType);

/* ---------------------------------------------------------------------------------------------
 * Sensor reports. Text reports are new heap texts; a NULL report pointer only returns the
 * result. A NULL component is passed on except where stated.
 * ------------------------------------------------------------------------------------------- */
QEL_API unsigned int qelSysGetSensorValuesXML(char **report);
QEL_API unsigned int qelSysGetSensorValuesASCII(char **report);
QEL_API unsigned int qelSysGetSensorValuesForComponentXML(const char *component, char **report);
QEL_API unsigned int qelSysGetSensorValuesForComponentASCII(const char *component, char **report);
/* Signed value reply; *status is untouched on a negative reply. */
QEL_API unsigned int qelSysGetComponentStatus(const char *component, int *status);
QEL_API unsigned int qelSysGetComponentStatusAll(char **report);
/* A NULL component sends "". */
QEL_API unsigned int qelSysGetESValuesForComponentXML(const char *component, char **report);
QEL_API unsigned int qelSysGetPresenceDetectAll(char **report);
/* Signed value reply. A NULL or empty component gives RESULT_INVALID_ARGUMENT (after the
 * connection step). */
QEL_API unsigned int qelSysGetPresenceDetect(const char *component, int *presence);

/* ---------------------------------------------------------------------------------------------
 * Sensor values and thresholds.
 * ------------------------------------------------------------------------------------------- */
/* The reading of a sensor that has no value to offer. */
#define QEL_NO_READING (-300.0f)

/* Caller-side thresholds: flags first (only their low 8 bits travel), then the values. */
typedef struct SensorThresholds {
  int thresholdFlag1;
  int thresholdFlag2;
  int thresholdFlag3;
  int thresholdFlag4;
  float threshold1;
  float threshold2;
  float threshold3;
  float threshold4;
} SensorThresholds;

QEL_API unsigned int qelSysGetSensorValue(const char *sensorId, float *value);
/* Sets a value. When the server answers 15 (value not taken) the sensor is read once more:
 * RESULT_NOT_AVAILABLE if it reads QEL_NO_READING, else 15. */
QEL_API unsigned int qelSysSetSensorValue(const char *sensorId, float value);
/* Reads the sensor first and answers RESULT_NOT_AVAILABLE without sending when it reads
 * QEL_NO_READING. thresholds must not be NULL. */
QEL_API unsigned int qelSysSetSensorThresholds(const char *sensorId,
                                               const SensorThresholds *thresholds);
/* thresholds must not be NULL; flags come back as 0 to 255. */
QEL_API unsigned int qelSysGetSensorThresholds(const char *sensorId, SensorThresholds *thresholds);
/* Writes exactly count values: the server's (at most 4), then zeros. values must not be NULL
 * when count is not 0. */
QEL_API unsigned int qelSysGetVRMGoodness(int vrmSelector, unsigned int count, int *values);

/* ---------------------------------------------------------------------------------------------
 * Sensor catalogue.
 * ------------------------------------------------------------------------------------------- */
/* Caller-side sensor description; each text is NUL-terminated and cut to its size less one. */
typedef struct SensorInfo {
  char text1[32];
  char text2[64];
  char text3[128];
  char text4[32];
  char text5[64];
  char text6[32];
  char text7[128];
  int intValue1;
  int intValue2;
  float realValue1;
  float realValue2;
  float realValue3;
  int intValue3;
  int intValue4;
  int intValue5;
} SensorInfo;

/* info must not be NULL. */
QEL_API unsigned int qelGetSensorInfo(const char *sensorId, SensorInfo *info);
/* *idList receives an array of *idCount separately allocated identifiers (no terminating
 * entry); the caller frees each, then the array, also when the count is 0. Both outputs are
 * required; on any failure neither is written. */
QEL_API unsigned int qelGetSensorList(int selector1, int selector2, unsigned int *idCount,
                                      char ***idList);

/* ---------------------------------------------------------------------------------------------
 * Fan state.
 * ------------------------------------------------------------------------------------------- */
typedef struct FanState {
  int debugValue1;
  int debugValue2;
  int debugValue3;
  int debugValue4;
  int debugValue5;
  int debugValue7;
  int debugValue8;
  int entryCount;
  int entries[16];
} FanState;

/* state must not be NULL. Copies the first entryCount entries; later entries keep their
 * contents. A reply with an entryCount outside 0 to 16 is rejected with RESULT_INVALID_ARGUMENT
 * and *state is untouched. */
QEL_API unsigned int qelGetFanState(FanState *state);

/* ---------------------------------------------------------------------------------------------
 * Administration and identity.
 * ------------------------------------------------------------------------------------------- */
/* Reads the five console settings; every non-NULL output is written whenever a reply comes,
 * whatever its errorCode, which is the result. */
QEL_API unsigned int qelSysGetConsoleConfig(int *consoleValue1, int *consoleValue2,
                                            int *consoleValue3, int *consoleValue4,
                                            unsigned long *consoleValue5);
QEL_API unsigned int qelSysSetConsoleConfig(int consoleValue1, int consoleValue2, int consoleValue3,
                                            int consoleValue4, unsigned long consoleValue5);
/* Sends the CPU configuration (syssetcpuconfiguration_1). */
QEL_API unsigned int qelSetCPUConfiguration(int cpuValue1, unsigned int cpuValue2,
                                            unsigned int cpuValue3, int cpuValue4,
                                            unsigned int cpuValue5);
/* Product name from the "product-id" sensor and the map file /usr/local/config/prod_id_map
 * (lines "hex-number|name"). productName must not be NULL. RESULT_FILE_UNAVAILABLE when the
 * file cannot be opened (checked first), RESULT_NOT_REGISTERED when the sensor read fails,
 * RESULT_NOT_AVAILABLE when no line matches; "N/A" for a reading of QEL_NO_READING. */
QEL_API unsigned int qelGetProductId(char **productName);
QEL_API unsigned int qelGetPBMString(unsigned int pbmSelector, char **pbmText);
/* A NULL pbmText sends "". */
QEL_API unsigned int qelSetPBMString(unsigned int pbmSelector, const char *pbmText);
QEL_API unsigned int qelRegisterPID(int pid, unsigned long processTag);
QEL_API unsigned int qelNotify(int notification);
/* The server's internal state as a new heap text, or NULL on any failure. */
QEL_API char *qelInternalState(void);
/* Sets the server's debug level (setdbglevel_1). Returns the server's reply unchanged, or 0 on
 * any failure (indistinguishable from a reply of 0). */
QEL_API int qelSetDebugLevel(int debugLevel);

#ifdef __cplusplus
}
#endif

#endif /* QEL_H */

// SPDX-License-Identifier: Apache-2.0
// Per-thread connection: the key that holds each thread's handle, client creation under the
// host's connection lock, and the mapping of creation failures to result codes.
#include "lib/transport/connection.hpp"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "lib/protocol/procedures.hpp"
#include "lib/transport/call_path.hpp"
#include "lib/transport/client_creation.hpp"
#include "lib/transport/rpc_section.hpp"

extern "C" {
QEL_API pthread_key_t qel_tsd_key = static_cast<pthread_key_t>(-1);
QEL_API pthread_once_t qel_key_once = PTHREAD_ONCE_INIT;
QEL_API int qel_once_initialized = 0;
}

namespace qel {
namespace {

// Remembered for every later connection of every thread; written before the connection lock is
// taken and read under it, so several threads may race on them harmlessly.
std::atomic<const char *> serverHost{"localhost"};
std::atomic<rpcprog_t> programNumber{proc::kDefaultProgram};

bool keyReady() { return __atomic_load_n(&qel_once_initialized, __ATOMIC_ACQUIRE) != 0; }

// The result of a failed creation, from the status that failed: a refused or unreachable
// connection is a system error with its errno inside the creation error (errno itself is
// unreliable then); any other status (an unknown host, a port mapper that did not answer in
// time) is no connection refused or host unreachable, whatever errno was left over.
unsigned int creationFailure(const CreationError &error) {
  if (error.cf_stat == RPC_PROGNOTREGISTERED) return RESULT_NOT_REGISTERED;
  if (error.cf_stat != RPC_SYSTEMERROR) return RESULT_NO_RESOURCES;
  switch (error.cf_error.re_errno) {
    case EACCES:
    case ECONNREFUSED:
      return RESULT_CONNECTION_REFUSED;
    case EHOSTUNREACH:
      return RESULT_HOST_UNREACHABLE;
    case EHOSTDOWN:
      return RESULT_HOST_DOWN;
    default:
      return RESULT_NO_RESOURCES;
  }
}

void destroy(CLIENT *clnt) {
  RpcSection section;
  clnt_destroy(clnt);
}

// Where this process keeps its own id: a page the kernel hands every forked child zeroed
// (MADV_WIPEONFORK), whatever made the child (fork, clone, the raw system call). Null where the
// kernel cannot wipe a page on fork. A child made with a shared address space (vfork) sees
// the parent's id, but such a child may only execute a program or exit.
pid_t *idPage = nullptr;

// A user-mode emulator may take the advice without acting on it (qemu-user does): a child made
// by fork then still starts afresh, through the C library's fork handlers.
void forgetProcessId() { std::atomic_ref<pid_t>(*idPage).store(0, std::memory_order_relaxed); }

// Sets idPage up, or leaves it null.
bool placeIdPage() {
  const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void *page = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return false;
  if (madvise(page, size, MADV_WIPEONFORK) != 0 ||
      pthread_atfork(nullptr, nullptr, forgetProcessId) != 0) {
    munmap(page, size);
    return false;
  }
  idPage = static_cast<pid_t *>(page);
  return true;
}

// The id of this process, asked of the kernel once per process instead of on every call: on
// this machine a system call is a tenth of a small call's round trip.
pid_t currentProcess() {
  static const bool placed = placeIdPage();
  if (!placed) return getpid();
  std::atomic_ref<pid_t> known(*idPage);
  pid_t id = known.load(std::memory_order_relaxed);
  if (id == 0) {
    id = getpid();
    known.store(id, std::memory_order_relaxed);
  }
  return id;
}

// The slot's handle, unless it was inherited: a forked child starts as a copy of the forking
// thread, slot included, and that handle's socket is the parent's connection. Each of the
// library's handles knows the process it was created in; one of another process is forgotten
// and released without a byte written on its connection (destroying it closes only this
// process's copy of the descriptor; the parent's connection stays as it is). The process id is
// compared, rather than the handle dropped by a fork handler, so that a child made by any means
// (fork, clone, the raw system call) is recognised, whichever thread's slot the handle is in.
CLIENT *ownHandle(CLIENT *slot) {
  if (slot == nullptr || !hasOwnCallPath(slot) || createdIn(slot) == currentProcess()) {
    return slot;
  }
  pthread_setspecific(qel_tsd_key, nullptr);
  destroy(slot);
  return nullptr;
}

// The host's connection lock, held while alive: also when a cancellation of the thread unwinds
// a creation, the lock is given back.
class HostLock {
 public:
  HostLock() { lockSharedRPCConnectionMutex(); }
  ~HostLock() { unlockSharedRPCConnectionMutex(); }
  HostLock(const HostLock &) = delete;
  HostLock &operator=(const HostLock &) = delete;
};

}  // namespace

CLIENT *threadHandle() {
  if (!keyReady()) return nullptr;
  return ownHandle(static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)));
}

unsigned int connectionStep(CLIENT **handle) {
  *handle = threadHandle();
  if (*handle != nullptr) return RESULT_OK;
  if (const unsigned int rc = qelConnect(nullptr, 0)) return rc;
  *handle = threadHandle();
  return RESULT_OK;
}

}  // namespace qel

using namespace qel;

extern "C" {

void qel_once_routine(void) {
  if (pthread_key_create(&qel_tsd_key, qel_once_destructor) == 0) {
    __atomic_store_n(&qel_once_initialized, 1, __ATOMIC_RELEASE);
  }
}

void qel_once_destructor(void *value) { qelDisconnectConnection(static_cast<CLIENT *>(value)); }

unsigned int qelConnect(const char *host, unsigned long program) {
  if (!keyReady()) {
    pthread_once(&qel_key_once, qel_once_routine);
    if (!keyReady()) return RESULT_NO_RESOURCES;
  }
  guardForks();
  if (threadHandle() != nullptr) return RESULT_OK;

  // Every unsigned long is 32 bits on the wire: the program is decided on those bits.
  if (const auto wanted = static_cast<rpcprog_t>(program); wanted != 0) {
    programNumber.store(wanted, std::memory_order_relaxed);
  } else if (const char *fromEnvironment = std::getenv("QELPROGID")) {
    programNumber.store(static_cast<rpcprog_t>(std::atol(fromEnvironment)),
                        std::memory_order_relaxed);
  }
  if (host != nullptr) serverHost.store(host, std::memory_order_relaxed);

  CLIENT *clnt;
  CreationError error{};
  {
    const HostLock lock;
    clnt = createClient(serverHost.load(std::memory_order_relaxed),
                        programNumber.load(std::memory_order_relaxed), proc::kVersion, error);
  }
  if (clnt == nullptr) {
    // The host may ask the RPC layer's creation error why, as after a clnt_create of its own.
    rpc_createerr = error;
    return creationFailure(error);
  }

  recordCreation(clnt, currentProcess());
  if (pthread_setspecific(qel_tsd_key, clnt) != 0) {
    destroy(clnt);
    return RESULT_NO_RESOURCES;
  }
  return RESULT_OK;
}

unsigned int qelDisconnectConnection(CLIENT *handle) {
  if (keyReady()) pthread_setspecific(qel_tsd_key, nullptr);
  if (handle == nullptr) return RESULT_NOT_CONNECTED;
  destroy(handle);
  return RESULT_OK;
}

unsigned int qelDisconnect(void) { return qelDisconnectConnection(threadHandle()); }

}  // extern "C"

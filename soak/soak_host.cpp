// SPDX-License-Identifier: Apache-2.0
// The host program of the soak test (scripts/soak): 16 threads of mixed operations against
// qel-simd, threads ending and starting, children forked that make calls of their own. It runs
// until SIGTERM, fills its descriptor table for a while on each SIGUSR1, and at the end checks
// that descriptors and heap are back at their baseline. It prints one line of figures and exits
// non-zero when a check failed.
#include <dirent.h>
#include <execinfo.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "qel.h"

namespace {

constexpr int kThreads = 16;
// The C library's name-service and resolver state grows once, by tens of bytes, the first times
// a lookup fails for want of a descriptor or meets a changed configuration; that can happen
// after the warm-up. A leak on any path the run takes repeatedly (a million operations, hundreds
// of reconnections and children) is far above this; the sanitizer and valgrind runs of the test
// suite find a single lost allocation on each failure path.
constexpr long kHeapSlack = 4096;
// The codes an operation given valid arguments may meet while the faults go on.
constexpr unsigned int kDocumented[] = {0, 2, 8, 12, 13, 14, 24};

std::vector<std::string> sensorIds;  // sensors that answer with a value when all is well
std::atomic<bool> stopping{false};
std::atomic<long> operations{0}, crossWired{0}, undocumented{0}, children{0}, childFailures{0};
std::mutex resultsMutex;
std::map<unsigned int, long> results;

// Every documented code has its counter before the baseline is taken, so counting allocates
// nothing later.
void prepareCounters() {
  for (unsigned int code : kDocumented) results[code] = 0;
}

bool documented(unsigned int code) {
  for (unsigned int d : kDocumented) {
    if (code == d) return true;
  }
  return false;
}

// Why connections could not be made, as the RPC layer's creation error on the calling thread
// tells it: status and system error, counted in a table that needs no allocation.
constexpr int kStatuses = 32, kErrnos = 160;
long creationCauses[kStatuses][kErrnos];

// The table's cell for the calling thread's last failed creation. The error is read under the
// host's connection lock, which a fork waits for: the RPC layer takes a lock of its own to find
// it.
long &lastCreationCause() {
  lockSharedRPCConnectionMutex();
  const auto cause = rpc_createerr;
  unlockSharedRPCConnectionMutex();
  const int error = cause.cf_stat == RPC_SYSTEMERROR || cause.cf_stat == RPC_PMAPFAILURE
                        ? cause.cf_error.re_errno
                        : 0;
  return creationCauses[std::clamp<int>(cause.cf_stat, 0, kStatuses - 1)]
                       [std::clamp(error, 0, kErrnos - 1)];
}

void record(unsigned int code) {
  ++operations;
  if (!documented(code)) ++undocumented;
  long *cause = code == RESULT_NO_RESOURCES ? &lastCreationCause() : nullptr;
  std::lock_guard<std::mutex> lock(resultsMutex);
  ++results[code];
  if (cause != nullptr) ++*cause;
}

// " (code 8 by creation status/errno: S/E:N ...)" when a creation failed.
void printCreationCauses() {
  const char *lead = " (code 8 by creation status/errno:";
  for (int status = 0; status < kStatuses; ++status) {
    for (int error = 0; error < kErrnos; ++error) {
      const long count = creationCauses[status][error];
      if (count == 0) continue;
      std::printf("%s %d/%d:%ld", lead, status, error, count);
      lead = "";
    }
  }
  if (*lead == '\0') std::printf(")");
}

// A sensor's description names the sensor asked for: a reply meant for another request shows.
unsigned int describedSensor(const std::string &id) {
  SensorInfo info{};
  const unsigned int rc = qelGetSensorInfo(id.c_str(), &info);
  if (rc == 0 && id != info.text1) ++crossWired;
  return rc;
}

unsigned int mixedOperation(std::mt19937 &random) {
  const std::string &id = sensorIds[random() % sensorIds.size()];
  switch (random() % 6) {
    case 0:
    case 1:
      return describedSensor(id);
    case 2: {
      int state = 0;
      return qelPlatformGetState(&state);
    }
    case 3: {
      float value = 0;
      return qelSysGetSensorValue(id.c_str(), &value);
    }
    case 4: {
      char *report = nullptr;
      const unsigned int rc = qelSysGetSensorValuesXML(&report);
      std::free(report);
      return rc;
    }
    default: {
      char *hostname = nullptr;
      const unsigned int rc = qelGetHostname(0, &hostname);
      std::free(hostname);
      return rc;
    }
  }
}

// A child that stalls says where: the backtrace of its one thread, then exit status 3. The
// unwinder is loaded before any fork, so the handler only writes.
constexpr unsigned kChildSeconds = 120;
void reportStall(int) {
  constexpr char kNote[] = "soak_host: a child stalled; its stack:\n";
  if (write(STDERR_FILENO, kNote, sizeof kNote - 1) < 0) _exit(3);
  void *frames[64];
  backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
  _exit(3);
}

// A child's calls go on a connection of its own; it reports through its exit status, and on
// standard error what went wrong.
void forkChild(std::mt19937 &random) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGALRM, reportStall);
    alarm(kChildSeconds);
    for (int i = 0; i < 30; ++i) {
      const unsigned int rc = describedSensor(sensorIds[random() % sensorIds.size()]);
      if (!documented(rc)) {
        std::fprintf(stderr, "soak_host: a child's call %d returned %u\n", i, rc);
        _exit(2);
      }
    }
    if (crossWired > 0) std::fprintf(stderr, "soak_host: a child had another request's answer\n");
    _exit(crossWired > 0 ? 1 : 0);
  }
  if (child < 0) return;
  ++children;
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  ++childFailures;
  if (WIFSIGNALED(status))
    std::fprintf(stderr, "soak_host: a child died of signal %d\n", WTERMSIG(status));
}

void worker(unsigned int seed, int forkEvery) {
  std::mt19937 random(seed);
  const int count = 20 + static_cast<int>(random() % 400);
  for (int i = 0; i < count && !stopping; ++i) {
    record(mixedOperation(random));
    if (random() % 50 == 0) qelDisconnect();
    if (forkEvery > 0 && random() % forkEvery == 0) forkChild(random);
  }
}

// Threads end and start: each runs a few hundred operations, then a new one takes its place.
void runWorkers(int forkEvery, bool (*goOn)()) {
  std::vector<std::thread> threads(kThreads);
  unsigned int seed = 1;
  do {
    for (std::thread &t : threads) {
      if (t.joinable()) t.join();
      t = std::thread(worker, seed++, forkEvery);
    }
  } while (goOn());
  for (std::thread &t : threads) t.join();
}

long openDescriptors() {
  long count = 0;
  if (DIR *dir = opendir("/proc/self/fd")) {
    while (dirent *entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count - 1;  // the directory's own
}

long heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
}

// Opens descriptors until the table is full; the caller gives them back.
std::atomic<long> descriptorFills{0};
std::vector<int> fillTable() {
  std::vector<int> held;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) held.push_back(fd);
  ++descriptorFills;
  return held;
}
// Fills the table for 3 seconds. A connection is tried while it is full, so that the warm-up
// takes the C library's failed-lookup paths.
void fillDescriptors() {
  const std::vector<int> held = fillTable();
  std::thread([] { describedSensor(sensorIds.front()); }).join();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  for (int fd : held) close(fd);
}

// The RPC layer keeps state per descriptor number, in tables that grow to the highest number a
// connection has used. A connection made while the table is nearly full (as happens while it
// empties after a fill) uses the highest numbers there are: the warm-up makes one.
void connectOnHighestDescriptors() {
  std::vector<int> held = fillTable();
  for (int i = 0; i < 4 && !held.empty(); ++i) {
    close(held.back());
    held.pop_back();
  }
  std::thread([] {
    describedSensor(sensorIds.front());
    qelDisconnect();
  }).join();
  for (int fd : held) close(fd);
}

// Signals arrive here only: SIGUSR1 fills the descriptor table, SIGTERM ends the run.
void handleSignals(sigset_t set) {
  for (int number = 0; !stopping;) {
    if (sigwait(&set, &number) != 0) continue;
    if (number == SIGUSR1) {
      fillDescriptors();
    } else {
      stopping = true;
    }
  }
}

bool loadSensors() {
  unsigned int count = 0;
  char **ids = nullptr;
  if (qelGetSensorList(0, 0, &count, &ids) != 0) return false;
  for (unsigned int i = 0; i < count; ++i) {
    float value = 0;
    SensorInfo info{};
    if (qelSysGetSensorValue(ids[i], &value) == 0 && qelGetSensorInfo(ids[i], &info) == 0) {
      sensorIds.push_back(ids[i]);
    }
    std::free(ids[i]);
  }
  std::free(ids);
  return !sensorIds.empty();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soak_host PROGRAM\n");
    return 64;
  }
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // for every thread: they arrive at sigwait only
  void *frame;
  backtrace(&frame, 1);

  prepareCounters();
  const unsigned long program = std::strtoul(argv[1], nullptr, 0);
  qelConnect(nullptr, program ^ 0x80000000ul);  // a program nobody serves: a failed creation
  if (qelConnect(nullptr, program) != 0 || !loadSensors()) {
    std::fprintf(stderr, "soak_host: qel-simd does not answer\n");
    return 1;
  }
  // The baseline: every path that allocates once per process or once per long-lived thread
  // has run (a failed creation, a full descriptor table, a fork, threads started and ended, the
  // signal thread, this thread's calls), and no thread holds a connection.
  std::thread signals(handleSignals, set);
  std::thread fullTable(fillDescriptors);
  runWorkers(200, [] { return false; });
  fullTable.join();
  fillDescriptors();
  connectOnHighestDescriptors();
  describedSensor(sensorIds.front());
  qelDisconnect();
  descriptorFills = 0;
  const long baseDescriptors = openDescriptors(), baseHeap = heapInUse();

  runWorkers(2000, [] { return !stopping.load(); });
  signals.join();

  // Faults are over: the server answers again, and nothing is left behind.
  unsigned int last = 1;
  std::thread([&last] {
    for (int attempt = 0; attempt < 100 && last != 0; ++attempt) {
      if ((last = describedSensor(sensorIds.front())) != 0) sleep(1);
    }
  }).join();
  const long extraDescriptors = openDescriptors() - baseDescriptors;
  const long extraHeap = heapInUse() - baseHeap;

  std::printf("operations %ld, failures", operations.load());
  for (const auto &[code, count] : results) {
    if (code != 0 && count != 0) std::printf(" %u:%ld", code, count);
  }
  printCreationCauses();
  std::printf(
      ", undocumented codes %ld, cross-wired answers %ld, children %ld (failed %ld),"
      " descriptor fills %ld, recovered %s, descriptors above baseline %ld, bytes above"
      " baseline %ld\n",
      undocumented.load(), crossWired.load(), children.load(), childFailures.load(),
      descriptorFills.load(), last == 0 ? "yes" : "no", extraDescriptors, std::max(0L, extraHeap));
  const bool passed = undocumented == 0 && crossWired == 0 && childFailures == 0 && last == 0 &&
                      extraDescriptors == 0 && extraHeap <= kHeapSlack;
  return passed ? 0 : 1;
}

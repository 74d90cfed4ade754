// SPDX-License-Identifier: Apache-2.0
// Client creation against peers that hold it: one deadline for the whole creation, signals
// handled while it waits, a cancelled creation that leaves nothing held; and the port mapper's
// IPv4 registration found whatever the hosts file says of localhost. Each case runs in a child
// process of its own, most in a network of their own where the test plays the port mapper.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <rpc/pmap_clnt.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.hpp"
#include "fake_peer.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kProgram = 0x40000321;
constexpr long long kDeadlineMs = 25000;
// What a child reports beside its exit status.
struct Report {
  long long creationMs = -1;
  long long signalMs = -1;  // when the signal handler ran, from the creation's start
};

// Memory that forked children write and the parent reads.
template <typename T>
T *shared(std::size_t count) {
  void *p =
      mmap(nullptr, sizeof(T) * count, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : new (p) T[count]();
}

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// Exit statuses of a child that could not set its case up.
constexpr int kNoSetUp = 150;

#if QEL_CREATES_WITH_RPC_LAYER
#define SKIP_WHERE_THE_RPC_LAYER_CREATES()                                                     \
  GTEST_SKIP() << "clients are created by the RPC layer, which blocks every signal and holds " \
                  "off cancellation during its creation, and bounds only its lookup"
#else
#define SKIP_WHERE_THE_RPC_LAYER_CREATES()
#endif

struct BoundCase {
  const char *name;
  std::vector<PeerScript> portMapper;  // empty: the port mapper names a server whose queue is full
  bool signal;                         // a timer fires 500 ms into the creation
};

const BoundCase kBounds[] = {
    {"a server whose accept queue is full", {}, false},
    {"a silent port mapper", {{PeerScript::Kind::kSilent}}, true},
    {"a port mapper trickling its answer",
     {{PeerScript::Kind::kTrickle, 7000, milliseconds(2000)}},
     false},
    {"a port mapper answering other calls",
     {{PeerScript::Kind::kWrongXid, 7000, milliseconds(2000)}},
     false},
};

std::atomic<long long> signalledAt{-1};
Clock::time_point creationStart;
void onAlarm(int) { signalledAt = msSince(creationStart); }

int boundedCreation(const BoundCase &c, Report &report) {
  if (!isolate()) return kNoSetUp;
  std::unique_ptr<FullListener> full;
  std::vector<PeerScript> scripts = c.portMapper;
  if (scripts.empty()) {
    full = std::make_unique<FullListener>();
    scripts = {{PeerScript::Kind::kAnswer, full->port()}};
  }
  FakePeer portMapper(111, scripts);
  if (!portMapper.ok()) return kNoSetUp;
  creationStart = Clock::now();
  if (c.signal) {
    struct sigaction handler {};
    handler.sa_handler = onAlarm;
    sigaction(SIGALRM, &handler, nullptr);
    const itimerval once{{0, 0}, {0, 500000}};
    setitimer(ITIMER_REAL, &once, nullptr);
  }
  const unsigned int result = qelConnect("127.0.0.1", kProgram);
  report.creationMs = msSince(creationStart);
  report.signalMs = signalledAt;
  return static_cast<int>(result);
}

TEST(Creation, EveryWaitOfACreationEndsAtItsOneDeadline) {
  SKIP_WHERE_THE_RPC_LAYER_CREATES();
  Report *reports = shared<Report>(std::size(kBounds));
  ASSERT_NE(reports, nullptr);
  // All at once, each in its own network: the cases take the deadline each.
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (std::size_t i = 0; i < std::size(kBounds); ++i) {
    children.push_back(
        std::make_unique<ChildProcess>([&, i] { return boundedCreation(kBounds[i], reports[i]); }));
  }
  for (std::size_t i = 0; i < std::size(kBounds); ++i) {
    SCOPED_TRACE(kBounds[i].name);
    const auto status = children[i]->waitForExit(std::chrono::seconds(60));
    if (status == kNoSetUp) GTEST_SKIP() << "a private network cannot be set up here";
    std::printf("%s: code %d after %lld ms", kBounds[i].name, status.value_or(-1),
                reports[i].creationMs);
    if (kBounds[i].signal) std::printf(", signal handled at %lld ms", reports[i].signalMs);
    std::printf("\n");
    EXPECT_EQ(status, std::optional<int>(RESULT_NO_RESOURCES));
    EXPECT_GE(reports[i].creationMs, kDeadlineMs);
    EXPECT_LE(reports[i].creationMs, kDeadlineMs + kDeadlineMs / 10);
    if (kBounds[i].signal) {
      EXPECT_GE(reports[i].signalMs, 500) << "the handler ran";
      EXPECT_LE(reports[i].signalMs, 600) << "the handler ran within 100 ms of the signal";
    }
  }
}

// One thread's creation waits on a silent port mapper and is cancelled; then another thread
// creates (the port mapper answers it) and the process forks, each at once; then a third
// thread's call waits on the silent server and is cancelled.
int cancelledCreation() {
  if (!isolate()) return kNoSetUp;
  FakePeer server(0, {{PeerScript::Kind::kSilent}});
  FakePeer portMapper(111,
                      {{PeerScript::Kind::kSilent}, {PeerScript::Kind::kAnswer, server.port()}});
  if (!server.ok() || !portMapper.ok()) return kNoSetUp;
  auto openDescriptors = [] {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
  };
  const auto baseline = openDescriptors();
  pthread_t creating;
  pthread_create(
      &creating, nullptr,
      [](void *) -> void * {
        qelConnect("127.0.0.1", kProgram);
        return nullptr;
      },
      nullptr);
  std::this_thread::sleep_for(milliseconds(500));
  auto start = Clock::now();
  pthread_cancel(creating);
  void *ended = nullptr;
  pthread_join(creating, &ended);
  const long long cancelMs = msSince(start);
  if (ended != PTHREAD_CANCELED || cancelMs > 1000) return 1;
  // The peers' sockets of the cancelled creation are gone; the peers' own may lag a little.
  if (!eventually([&] { return openDescriptors() <= baseline; }, milliseconds(1000))) return 2;
  start = Clock::now();
  const unsigned int created = qelConnect("127.0.0.1", kProgram);
  const long long createMs = msSince(start);
  if (created != RESULT_OK || createMs > 1000) return 3;
  start = Clock::now();
  const pid_t child = fork();
  if (child == 0) _exit(0);
  const long long forkMs = msSince(start);
  waitpid(child, nullptr, 0);
  std::printf("cancelled creation ended in %lld ms; the next creation took %lld ms, fork %lld ms\n",
              cancelMs, createMs, forkMs);
  std::fflush(stdout);
  if (forkMs > 1000) return 4;
  // A call the silent server never answers, cancelled: the thread's connection goes with it.
  static std::atomic<int> callingFd{-1};
  pthread_t calling;
  pthread_create(
      &calling, nullptr,
      [](void *) -> void * {
        int fd = -1;
        if (qelConnect("127.0.0.1", kProgram) == RESULT_OK &&
            clnt_control(static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)), CLGET_FD,
                         reinterpret_cast<char *>(&fd))) {
          callingFd = fd;
          qelConfigureServer();
        }
        return nullptr;
      },
      nullptr);
  std::this_thread::sleep_for(milliseconds(500));
  start = Clock::now();
  pthread_cancel(calling);
  pthread_join(calling, &ended);
  if (ended != PTHREAD_CANCELED || msSince(start) > 1000) return 5;
  return callingFd >= 0 && fcntl(callingFd, F_GETFD) == -1 ? 0 : 6;
}

TEST(Creation, ACancelledCreationLeavesNoLockAndNoDescriptor) {
  SKIP_WHERE_THE_RPC_LAYER_CREATES();
  ChildProcess child(cancelledCreation);
  const auto status = child.waitForExit(std::chrono::seconds(30));
  if (status == kNoSetUp) GTEST_SKIP() << "a private network cannot be set up here";
  EXPECT_EQ(status, std::optional<int>(0))
      << "1 the creating thread did not end at once, 2 its descriptors stayed open, 3 another "
         "thread could not create at once, 4 fork waited, 5 the calling thread did not end at "
         "once, 6 its connection stayed open (nothing: it waits still)";
}

// The hosts file as Debian writes it (localhost also ::1) and as some machines have it.
const char *const kHostsFiles[] = {
    "127.0.0.1 localhost\n",
    "127.0.0.1 localhost\n::1 localhost ip6-localhost ip6-loopback\n",
};

// What qelConnect("localhost", ...) gives for a program registered for IPv4 with a server, one
// registered for IPv4 whose port refuses, and one not registered, under `hosts`.
int localhostResults(const char *hosts, unsigned int *results) {
  char path[] = "/tmp/qel-hosts-XXXXXX";
  const int fd = mkstemp(path);
  const bool written =
      fd >= 0 && write(fd, hosts, strlen(hosts)) == static_cast<ssize_t>(strlen(hosts));
  if (fd >= 0) close(fd);
  const bool mounted = written && unshare(CLONE_NEWNS) == 0 &&
                       mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       mount(path, "/etc/hosts", "none", MS_BIND, nullptr) == 0;
  unlink(path);
  if (!mounted) return kNoSetUp;
  {
    ScriptedServer server;
    results[0] = qelConnect("localhost", server.program());
    qelDisconnect();
  }
  const uint32_t refusing = freeProgram();
  pmap_set(refusing, 1, IPPROTO_TCP, static_cast<u_short>(freePort()));
  results[1] = qelConnect("localhost", refusing);
  pmap_unset(refusing, 1);
  results[2] = qelConnect("localhost", freeProgram());
  return 0;
}

TEST(Creation, LocalhostFindsTheIPv4RegistrationWhateverTheHostsFileSays) {
  for (const char *hosts : kHostsFiles) {
    SCOPED_TRACE(hosts);
    unsigned int *results = shared<unsigned int>(3);
    ASSERT_NE(results, nullptr);
    ChildProcess child([&] { return localhostResults(hosts, results); });
    const auto status = child.waitForExit(std::chrono::seconds(60));
    if (status == kNoSetUp) GTEST_SKIP() << "a private mount namespace cannot be set up here";
    ASSERT_EQ(status, std::optional<int>(0));
    EXPECT_EQ(results[0], 0u) << "registered, serving";
    EXPECT_EQ(results[1], 12u) << "registered, refusing";
    EXPECT_EQ(results[2], 24u) << "not registered";
  }
}

}  // namespace
}  // namespace qel::test

// SPDX-License-Identifier: Apache-2.0
// qel-exporter in a fleet, on a network of the test's own (network and mount namespaces with a
// port mapper of their own; the machine's are never touched): the far end of a veth pair drops
// every packet sent to 10.77.0.2 and up, as powered-off SPs do, and the test is the name server,
// to see that a refused target is never looked up or connected to.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "child_process.hpp"
#include "exporter_client.hpp"
#include "loopback.hpp"
#include "port_mapper.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

constexpr const char *kAllUp =
    "qel_up{collector=\"sensors\"} 1\nqel_up{collector=\"components\"} 1\n"
    "qel_up{collector=\"platform\"} 1\nqel_up{collector=\"network\"} 1\n"
    "qel_up{collector=\"fan\"} 1\n";
constexpr const char *kNameServer = "127.0.0.53";

class FleetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string said;
    ready_ = access("/usr/sbin/rpcbind", X_OK) == 0 && isolate() &&
             (portMapper_ = startPortMapper()) > 0 &&
             runCommand(
                 "sysctl -qw net.ipv6.conf.all.disable_ipv6=1 && "
                 "ip link add qa type veth peer name qb && ip link set qa up && "
                 "ip link set qb up && ip addr add 10.77.0.1/24 dev qa && "
                 "for n in 2 3 4 5; do ip neigh replace 10.77.0.$n "
                 "lladdr 02:00:00:00:00:0$n dev qa nud permanent || exit 1; done",
                 said) == 0;
    // Names are asked of the test: a name server that never answers.
    const std::string resolver = std::filesystem::temp_directory_path() / "qel-fleet-resolv.conf";
    std::ofstream(resolver) << "nameserver " << kNameServer << "\noptions timeout:1 attempts:1\n";
    ready_ = ready_ && mount(resolver.c_str(), "/etc/resolv.conf", "none", MS_BIND, nullptr) == 0;
  }
  static void TearDownTestSuite() {
    if (portMapper_ > 0) stopPortMapper(portMapper_);
  }
  void SetUp() override {
    if (!ready_) GTEST_SKIP() << "private network namespaces cannot be set up here";
    ASSERT_TRUE(a_.start(0));
    ASSERT_TRUE(b_.start(0));
    port_ = freePort();
    exporter_.start({QEL_EXPORTER_PATH, "--web.listen-address",
                     "127.0.0.1:" + std::to_string(port_), "--program",
                     std::to_string(a_.program()), "--web.max-requests", "64", "--probe.allow",
                     "127.0.0.0/8,10.77.0.2,10.77.0.3,10.77.0.5,allowed.example"});
    ASSERT_TRUE(eventually([&] { return get(port_, "/-/healthy").status == 200; }));
  }
  void TearDown() override {
    if (ready_) {
      EXPECT_EQ(exporter_.stop(), 0);
    }
  }

  HttpReply probe(const std::string &target, uint32_t program) const {
    return get(port_, "/probe?target=" + target + "&program=" + std::to_string(program),
               {{"X-Prometheus-Scrape-Timeout-Seconds", "3"}});
  }

  static inline bool ready_ = false;
  static inline pid_t portMapper_ = -1;
  SimdProcess a_, b_;
  int port_ = 0;
  ChildProcess exporter_;
};

// Two dead SPs scraped all along; SP A's server restarts, and a new target connects: both are
// up on their next scrape, and the dead ones answer qel_up 0 within their scrape timeout.
TEST_F(FleetTest, ADeadSpCostsOnlyItsOwnScrape) {
  ASSERT_NE(probe("127.0.0.1", a_.program()).body.find(kAllUp), std::string::npos);
  const uint32_t program = a_.program();
  std::atomic<bool> done{false};
  std::atomic<double> slowest{0};
  std::vector<std::thread> dead;
  for (const char *target : {"10.77.0.2", "10.77.0.3"}) {
    dead.emplace_back([&, target] {
      while (!done) {
        const HttpReply reply = probe(target, program);
        slowest = std::max(slowest.load(), reply.seconds);
        EXPECT_NE(reply.body.find("qel_up{collector=\"sensors\"} 0\n"), std::string::npos);
        std::this_thread::sleep_for(200ms);
      }
    });
  }
  std::this_thread::sleep_for(1s);
  a_.stop();
  ASSERT_TRUE(a_.start(program));
  const HttpReply restarted = probe("127.0.0.1", a_.program()),
                  fresh = probe("127.0.0.2", b_.program());
  done = true;
  for (std::thread &thread : dead) thread.join();
  EXPECT_NE(restarted.body.find(kAllUp), std::string::npos) << restarted.body;
  EXPECT_NE(fresh.body.find(kAllUp), std::string::npos) << fresh.body;
  EXPECT_LT(restarted.seconds + fresh.seconds, 3.0);
  EXPECT_LT(slowest.load(), 3.0);
}

// Packets the veth sent (/proc/net/dev: the interface, 8 counts received, bytes and packets
// sent): a connection attempt to 10.77.0.x shows there.
long packetsSent() {
  std::ifstream counters("/proc/net/dev");
  for (std::string word; counters >> word;) {
    if (word != "qa:") continue;
    long count = -1;
    for (int i = 0; i < 10; ++i) counters >> count;
    return count;
  }
  return -1;
}

// A target that --probe.allow does not name is answered 403 and never looked up (no question
// reaches the name server) or connected to (no packet leaves); an allowed one is, both ways.
TEST_F(FleetTest, ARefusedTargetIsNeverLookedUpOrConnectedTo) {
  const int nameServer = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, htons(53), {inet_addr(kNameServer)}, {}};
  ASSERT_EQ(bind(nameServer, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  const std::tuple<const char *, int, bool, bool> kTargets[] = {
      // target, status, asked of the name server, packets sent
      {"refused.example", 403, false, false},
      {"10.77.0.4", 403, false, false},
      {"allowed.example", 200, true, false},
      {"10.77.0.5", 200, false, true},
  };
  for (const auto &[target, status, asked, sent] : kTargets) {
    const long before = packetsSent();
    EXPECT_EQ(probe(target, a_.program()).status, status) << target;
    char question[512];
    EXPECT_EQ(recv(nameServer, question, sizeof question, 0) > 0, asked) << target;
    while (recv(nameServer, question, sizeof question, 0) > 0) {
    }
    EXPECT_EQ(packetsSent() > before, sent) << target;
  }
  close(nameServer);
}

}  // namespace
}  // namespace qel::test

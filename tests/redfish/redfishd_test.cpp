// SPDX-License-Identifier: Apache-2.0
// qel-redfishd as users run it: the built program over HTTPS with its self-signed certificate,
// in front of a real qel-simd, driven by the clients datacenters use (redfishtool, sushy,
// Ansible's Redfish modules), every resource checked against DMTF's schemas, and clients that
// misbehave on the wire. The program's exit status shows what the sanitizers found in it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "child_process.hpp"
#include "loopback.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

int tcpConnection(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback();
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Whether the server closed `fd` within `limit`.
bool closedWithin(int fd, std::chrono::milliseconds limit) {
  timeval wait{static_cast<time_t>(limit.count() / 1000), 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  char byte;
  return read(fd, &byte, 1) == 0;
}

class Redfishd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("qel-redfishd-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "home");
    ASSERT_TRUE(simd_.start());
    ASSERT_EQ(
        run("printf 'admin-secret\\n' | " + daemon("--add-account admin --role Administrator")),
        "qel-redfishd: account admin (Administrator) added as 1\n");
    port_ = freePort();
    service_.start({QEL_REDFISHD_PATH, "--listen", "127.0.0.1:" + std::to_string(port_),
                    "--program", std::to_string(simd_.program()), "--state-dir", state(),
                    "--sp-timeout", "3", "--log-level", "warn"});
    ASSERT_TRUE(eventually(
        [&] { return curl("-o /dev/null -w '%{http_code}' " + url("/redfish/v1/")) == "200"; }));
  }
  void TearDown() override {
    EXPECT_EQ(service_.stop(), 0);
    std::filesystem::remove_all(dir_);
  }

  std::string state() const { return (dir_ / "state").string(); }
  std::string url(const std::string &path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string daemon(const std::string &args) const {
    return QEL_REDFISHD_PATH " --state-dir " + state() + " " + args;
  }
  // A shell command's output; `status` gets its exit status. The clients' environment names no
  // CA bundle of the machine (requests would take it over the certificate a client names).
  std::string run(const std::string &command, int *status = nullptr) const {
    std::string output;
    const int code =
        runCommand("env -u REQUESTS_CA_BUNDLE -u CURL_CA_BUNDLE HOME=" + (dir_ / "home").string() +
                       " " + command,
                   output);
    if (status) *status = code;
    return output;
  }
  std::string curl(const std::string &args) const { return run("curl -sk --max-time 20 " + args); }
  std::string redfishtool(const std::string &args, int *status = nullptr) const {
    return run("redfishtool -r 127.0.0.1:" + std::to_string(port_) + " -S Always " + args, status);
  }
  void ctl(const std::string &command) const {
    std::string output;
    ASSERT_EQ(SimdProcess::run("ctl --program " + std::to_string(simd_.program()) + " " + command,
                               output),
              0);
  }

  std::filesystem::path dir_;
  SimdProcess simd_;
  ChildProcess service_;
  int port_ = 0;
};

TEST_F(Redfishd, CommandLine) {
  const std::pair<std::string, std::pair<int, std::string>> cases[] = {
      {"--version", {0, "qel-redfishd 1.0.0\n"}},
      {"--bogus", {64, "The following argument was not expected: --bogus"}},
      {"--tls-cert c.pem", {64, "--tls-cert requires --tls-key"}},
      {"--http --tls-cert c.pem --tls-key k.pem", {64, "--tls-cert excludes --http"}},
      {"--add-account '-x' --role ReadOnly", {64, "--add-account: a name is 1 to 64 letters"}},
      {"--add-account eve --role Root", {64, "--role: not Administrator, Operator or ReadOnly"}},
      {"--listen 443", {64, "--listen: not ADDRESS:PORT, [V6ADDRESS]:PORT or :PORT"}},
      {"--tls-cert /none.pem --tls-key /none.key --listen 127.0.0.1:0",
       {1, "cannot read /none.pem: No such file or directory"}},
      {"--add-account admin --role ReadOnly < /dev/null",
       {1, "qel-redfishd: no password on standard input\n"}},
      {"--add-account eve --role ReadOnly <<< short",
       {1, "qel-redfishd: a password has 8 to 128 characters\n"}},
      {"--add-account admin --role ReadOnly <<< long-enough",
       {1, "qel-redfishd: an account admin exists\n"}},
  };
  for (const auto &[args, expected] : cases) {
    int status = 0;
    const std::string said = run("bash -c \"" + daemon(args) + "\"", &status);
    EXPECT_EQ(status, expected.first) << args << ": " << said;
    EXPECT_TRUE(contains(said, expected.second)) << args << ": " << said;
  }
  int status = 0;
  const std::string said =
      run(QEL_REDFISHD_PATH " --state-dir /proc/nope --http --listen 127.0.0.1:0", &status);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(contains(said, "cannot create the state directory /proc/nope: ")) << said;
  EXPECT_TRUE(contains(run(QEL_REDFISHD_PATH " --help"), "--add-account"));
}

TEST_F(Redfishd, Redfishtool) {
  const std::string admin = "-u admin -p admin-secret ";
  ctl("sensor cpu0-temp --value 97");
  EXPECT_EQ(redfishtool(admin + "Systems -1 -P PowerState get"),
            "{\n    \"PowerState\": \"On\"\n}\n");
  EXPECT_TRUE(contains(redfishtool(admin + "Chassis -1 Sensors"),
                       "cpu0-temp                                          97.0       95.0"));
  EXPECT_TRUE(contains(redfishtool(admin + "AccountService adduser bob bob-secret Operator"),
                       "\"UserName\": \"bob\""));
  int status = 0;
  redfishtool("-u bob -p bob-secret Systems -1 reset GracefulShutdown", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(redfishtool(admin + "Systems -1 -P PowerState get"),
            "{\n    \"PowerState\": \"Off\"\n}\n");
  const std::string refused =
      redfishtool("-u bob -p bob-secret Managers -1 reset GracefulRestart", &status);
  EXPECT_NE(status, 0);
  EXPECT_TRUE(contains(refused, "403")) << refused;
  EXPECT_TRUE(contains(redfishtool(admin + "SessionService login"), "\"X-Auth-Token\": "));
  EXPECT_TRUE(contains(redfishtool(admin + "Managers -1 NetworkProtocol"),
                       "\"Port\": " + std::to_string(port_)));
  EXPECT_EQ(redfishtool("-u admin -p wrong-secret root -P Vendor get", &status),
            "{\n    \"Vendor\": \"libqel\"\n}\n");
}

TEST_F(Redfishd, Sushy) {
  const std::string said = run("/usr/bin/python3 " QEL_REDFISH_TEST_DIR "/sushy_client.py " +
                               url("") + " admin admin-secret " + state() + "/tls/certificate.pem");
  EXPECT_EQ(said,
            "system system On ['ForceOff', 'ForceRestart', 'GracefulShutdown', 'Nmi', 'On', "
            "'PowerCycle', 'PushPowerButton']\n"
            "processors 2\n"
            "after ForceOff Off\n"
            "manager sp BMC ['GracefulRestart']\n"
            "chassis chassis RackMount Off\n"
            "sessions 1\n");
}

TEST_F(Redfishd, Ansible) {
  int status = 0;
  const std::string said = run(
      "ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False ansible-playbook "
      "-i localhost, -c local " QEL_REDFISH_TEST_DIR "/playbook.yml -e baseuri=127.0.0.1:" +
          std::to_string(port_) + " -e password=admin-secret",
      &status);
  EXPECT_EQ(status, 0) << said;
  EXPECT_TRUE(contains(said, "ok=9    changed=2 ")) << said;
  const std::string nic =
      curl("-u admin:admin-secret " + url("/redfish/v1/Managers/sp/EthernetInterfaces/0"));
  EXPECT_EQ(nlohmann::json::parse(nic)["HostName"], "sp-ansible");
  const std::string system = curl("-u admin:admin-secret " + url("/redfish/v1/Systems/system"));
  EXPECT_EQ(nlohmann::json::parse(system)["PowerState"], "Off");
}

TEST_F(Redfishd, EveryResourceFollowsItsSchema) {
  const std::string validator = QEL_REDFISH_SCHEMAS "/validate-json";
  if (!std::filesystem::exists(validator))
    GTEST_SKIP() << validator << " is absent: no schema check";
  int status = 0;
  const std::string said = run("/usr/bin/python3 -W ignore " + validator + " " + url("") +
                                   " --user admin --password admin-secret --insecure",
                               &status);
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(said, "54 passed, 0 failed, 0 skipped\n");
}

TEST_F(Redfishd, ManyClientsAtOnce) {
  // Eight logins at once, then 100 reads from 24 clients at a time, on every worker.
  const std::string tokens =
      run("seq 8 | xargs -P 8 -I @ curl -sk -D - -o /dev/null -H 'Content-Type: application/json' "
          "-d '{\"UserName\":\"admin\",\"Password\":\"admin-secret\"}' " +
          url("/redfish/v1/SessionService/Sessions") +
          " | tr -d '\\r' | sed -n 's/^X-Auth-Token: //p'");
  ASSERT_EQ(tokens.size(), 8 * 65u) << tokens;
  std::string lines;
  const char *paths[] = {"Systems/system", "Chassis/chassis/Sensors/cpu0-temp", "Managers/sp",
                         "Chassis/chassis/Thermal", "SessionService/Sessions"};
  for (int i = 0; i < 100; ++i) lines += std::string(paths[i % 5]) + "\n";
  std::ofstream(dir_ / "requests") << lines;
  const std::string gets =
      run("xargs -P 24 -I @ curl -sk -H 'X-Auth-Token: " + tokens.substr(0, 64) +
          "' -o /dev/null -w '%{http_code}\\n' " + url("/redfish/v1/@") + " < " +
          (dir_ / "requests").string() + " | sort | uniq -c");
  EXPECT_EQ(gets, "    100 200\n");
}

TEST_F(Redfishd, ClientsThatMisbehaveOnTheWire) {
  // A thousand connections from one address: those beyond its share are closed at once, and
  // another address is served meanwhile.
  std::vector<int> connections;
  for (int i = 0; i < 1000; ++i) connections.push_back(tcpConnection(port_));
  EXPECT_TRUE(closedWithin(connections.back(), 2s));
  EXPECT_EQ(curl("--interface 127.0.0.2 -o /dev/null -w '%{http_code}' " + url("/redfish/v1/")),
            "200");
  // A client that never finishes its request is dropped after the request timeout.
  EXPECT_TRUE(closedWithin(connections.front(), 8s));
  for (int fd : connections) close(fd);
  const std::string big(1 << 20, 'x');
  std::ofstream(dir_ / "big.json") << "{\"HostName\":\"" << big << "\"}";
  EXPECT_EQ(
      curl("-u admin:admin-secret -X PATCH -H 'Content-Type: application/json' --data-binary @" +
           (dir_ / "big.json").string() + " -o /dev/null -w '%{http_code}' " +
           url("/redfish/v1/Managers/sp/EthernetInterfaces/0")),
      "413");
  const std::string split =
      curl("-i -u admin:admin-secret '" + url("/redfish/v1/Systems/%0d%0aSet-Cookie:%20a=b") + "'");
  EXPECT_TRUE(split.starts_with("HTTP/1.1 404 ")) << split;
  EXPECT_FALSE(contains(split, "\nSet-Cookie")) << split;
  const std::string bareCr =
      run("printf 'GET /redfish/v1/ HTTP/1.1\\r\\nHost: a\\r\\nX-A: a\\rb\\r\\n\\r\\n' | openssl "
          "s_client "
          "-quiet -connect 127.0.0.1:" +
          std::to_string(port_) + " 2>/dev/null | head -n 1");
  EXPECT_EQ(bareCr, "HTTP/1.1 400 Bad Request\r\n");
  // A hung SP: the answer comes in time, and says when to come back.
  ctl("fault SysGetSensorValue hang --arg cpu0-temp");
  const auto start = std::chrono::steady_clock::now();
  const std::string hung =
      curl("-i -u admin:admin-secret " + url("/redfish/v1/Chassis/chassis/Sensors/cpu0-temp"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4500ms);
  EXPECT_TRUE(hung.starts_with("HTTP/1.1 503 ")) << hung;
  EXPECT_TRUE(contains(hung, "\r\nRetry-After: 5\r\n")) << hung;
}

}  // namespace
}  // namespace qel::test

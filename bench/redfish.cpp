// SPDX-License-Identifier: Apache-2.0
// qel-redfishd in front of qel-simd's built-in scenario, client, service and server on one
// core: a GET of one sensor and of the whole Sensors collection over a kept HTTPS connection
// with a session token, each against the library calls it makes (the sensor's catalogue entry,
// reading and thresholds; the sensor list).
#include <httplib.h>
#include <qel.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "sections.hpp"
#include "table.hpp"

namespace qel::bench {
namespace {

constexpr const char *kSensor = "cpu0-temp";
const std::string kSensorUri = std::string("/redfish/v1/Chassis/chassis/Sensors/") + kSensor;

// The built service with an account of its own, logged in once, kept for every pass.
class Redfishd {
 public:
  explicit Redfishd(rpcprog_t program)
      : dir_(std::filesystem::temp_directory_path() /
             ("qel-bench-redfish-" + std::to_string(getpid()))),
        port_(test::freePort()),
        client_("127.0.0.1", port_) {
    std::filesystem::remove_all(dir_);
    const std::string add = std::string(QEL_REDFISHD_PATH) + " --state-dir " + dir_.string() +
                            " --add-account bench --role ReadOnly >/dev/null";
    if (FILE *tool = popen(add.c_str(), "w")) {
      std::fputs("bench-password\n", tool);
      pclose(tool);
    }
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    const std::string number = std::to_string(program);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      execl(QEL_REDFISHD_PATH, "qel-redfishd", "--listen", listen.c_str(), "--program",
            number.c_str(), "--state-dir", dir_.c_str(), "--log-level", "error",
            static_cast<char *>(nullptr));
      _exit(127);
    }
    client_.enable_server_certificate_verification(false);
    client_.set_keep_alive(true);
    const std::string login = R"({"UserName":"bench","Password":"bench-password"})";
    for (int tries = 0; tries < 500 && token_.empty(); ++tries) {
      const auto reply =
          client_.Post("/redfish/v1/SessionService/Sessions", login, "application/json");
      if (reply && reply->status == 201) token_ = reply->get_header_value("X-Auth-Token");
      if (token_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Redfishd() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(dir_);
  }
  bool ready() const { return !token_.empty(); }
  pid_t pid() const { return pid_; }
  // One GET; false unless it was answered 200.
  bool get(const std::string &path) {
    const auto reply = client_.Get(path.c_str(), {{"X-Auth-Token", token_}});
    return reply && reply->status == 200;
  }

 private:
  std::filesystem::path dir_;
  int port_;
  pid_t pid_ = -1;
  httplib::SSLClient client_;
  std::string token_;
};

bool sensorCalls() {
  SensorInfo info;
  float value = 0;
  SensorThresholds thresholds;
  return qelGetSensorInfo(kSensor, &info) == RESULT_OK &&
         qelSysGetSensorValue(kSensor, &value) == RESULT_OK &&
         qelSysGetSensorThresholds(kSensor, &thresholds) == RESULT_OK;
}

bool listCall() {
  unsigned count = 0;
  char **ids = nullptr;
  if (qelGetSensorList(0, 0, &count, &ids) != RESULT_OK) return false;
  for (unsigned i = 0; i < count; ++i) std::free(ids[i]);
  std::free(ids);
  return true;
}

}  // namespace

void redfishRows(const Bench &bench) {
  printSection("qel-redfishd: GET on qel-simd's built-in scenario, HTTPS, session token");
  const Placement oneCore = placements().front();
  bench.place(oneCore);
  static std::unique_ptr<Redfishd> service;
  if (!service) {
    service = std::make_unique<Redfishd>(bench.simulator.program());
    if (!service->ready()) {
      std::fprintf(stderr, "qel_bench: qel-redfishd did not come up (" QEL_REDFISHD_PATH ")\n");
      return;
    }
  }
  pinProcess(service->pid(), oneCore.serverCpu);
  if (!service->ready() || !useLibraryWith(bench.simulator.program())) return;
  const auto label = [&](const std::string &what) {
    return RowLabel{what, oneCore.name, "qel-simd"};
  };
  const std::string collection = "/redfish/v1/Chassis/chassis/Sensors";
  const auto one =
      interleave({[&](long n) { return repeat(n, [&] { return service->get(kSensorUri); }); },
                  [&](long n) { return repeat(n, sensorCalls); }},
                 bench.plan);
  printRow(label("GET one sensor, us"), inMicroseconds(one[0]), 1);
  printRow(label("its 3 library calls, us"), inMicroseconds(one[1]), 1);
  printRow(label("  ratio GET / calls"), combine(one[0], one[1], ratio), 2);
  const auto all =
      interleave({[&](long n) { return repeat(n, [&] { return service->get(collection); }); },
                  [&](long n) { return repeat(n, listCall); }},
                 bench.plan);
  printRow(label("GET the Sensors collection, us"), inMicroseconds(all[0]), 1);
  printRow(label("its library call (sensor list), us"), inMicroseconds(all[1]), 1);
  printRow(label("  ratio GET / call"), combine(all[0], all[1], ratio), 2);
}

}  // namespace qel::bench

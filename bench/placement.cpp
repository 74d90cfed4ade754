// SPDX-License-Identifier: Apache-2.0
#include "placement.hpp"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

namespace qel::bench {
namespace {

cpu_set_t only(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return set;
}

}  // namespace

std::vector<Placement> placements() {
  std::vector<Placement> all{{"one core", 0, 0}};
  if (sysconf(_SC_NPROCESSORS_ONLN) >= 2) all.push_back({"two cores", 0, 1});
  return all;
}

bool pinThread(int cpu) {
  const cpu_set_t set = only(cpu);
  return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

bool pinProcess(pid_t pid, int cpu) {
  const cpu_set_t set = only(cpu);
  std::error_code error;
  bool all = true;
  for (const auto &task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    const pid_t tid = std::stoi(task.path().filename().string());
    all = sched_setaffinity(tid, sizeof set, &set) == 0 && all;
  }
  return all && !error;
}

void placeHere(const Placement &placement) {
  pinProcess(getpid(), placement.serverCpu);
  pinThread(placement.clientCpu);
}

// The kernel's clock of a process's CPU time is the sum of its utime and stime counted in
// nanoseconds instead of clock ticks.
double cpuTimeNs(pid_t pid) {
  clockid_t clock;
  timespec now{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0) return 0;
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

}  // namespace qel::bench

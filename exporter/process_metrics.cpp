// SPDX-License-Identifier: Apache-2.0
#include "exporter/process_metrics.hpp"

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exporter/families.hpp"

namespace qel::exporter {
namespace {

// The fields of /proc/self/stat after the command's name, from the state (field 3) on.
std::vector<std::string> statFields() {
  std::ifstream file("/proc/self/stat");
  std::string line;
  std::getline(file, line);
  const std::size_t end = line.rfind(')');
  std::vector<std::string> fields;
  if (end == std::string::npos) return fields;
  std::istringstream rest(line.substr(end + 1));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

// When the machine booted, in seconds since the epoch: now less the time since boot (no read of
// /proc/stat, which a hardened unit's /proc does not show).
double bootTime() {
  timespec now{}, sinceBoot{};
  clock_gettime(CLOCK_REALTIME, &now);
  clock_gettime(CLOCK_BOOTTIME, &sinceBoot);
  return static_cast<double>(now.tv_sec - sinceBoot.tv_sec) +
         static_cast<double>(now.tv_nsec - sinceBoot.tv_nsec) / 1e9;
}

double field(const std::vector<std::string> &fields, std::size_t number) {
  // Field `number` as proc(5) numbers them; fields[0] is field 3.
  return number - 3 < fields.size() ? std::stod(fields[number - 3]) : 0;
}

}  // namespace

void addProcessMetrics(MetricSet &metrics) {
  using namespace family;
  const std::vector<std::string> fields = statFields();
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  metrics.add(kCpuSeconds, {}, (field(fields, 14) + field(fields, 15)) / ticks);
  std::error_code error;
  std::size_t open = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
       it.increment(error)) {
    ++open;
  }
  metrics.add(kOpenFds, {}, static_cast<double>(open));
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  metrics.add(kMaxFds, {}, static_cast<double>(files.rlim_cur));
  metrics.add(kVirtualMemory, {}, field(fields, 23));
  metrics.add(kResidentMemory, {}, field(fields, 24) * static_cast<double>(sysconf(_SC_PAGESIZE)));
  metrics.add(kStartTime, {}, bootTime() + field(fields, 22) / ticks);
}

}  // namespace qel::exporter

// Runs the built qelctl as a child process and collects what it writes and how it ends.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qel::test {

struct QelctlRun {
  int status = -1;  // exit status; -1 when it did not end normally
  std::string out;
  std::string err;
};

// `environment` entries are set in the child on top of this process's environment; QELPROGID
// is removed unless given there.
QelctlRun runQelctl(const std::vector<std::string> &args,
                    const std::map<std::string, std::string> &environment = {});

}  // namespace qel::test

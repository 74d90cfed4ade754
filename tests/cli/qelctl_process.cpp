#include "qelctl_process.hpp"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string>

namespace qel::test {
namespace {

[[noreturn]] void execQelctl(const std::vector<std::string> &args,
                             const std::map<std::string, std::string> &environment, int out,
                             int err) {
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  unsetenv("QELPROGID");
  // In sanitizer builds the list of suppressed libtirpc leaks would join the error lines.
  const char *lsan = getenv("LSAN_OPTIONS");
  const std::string quiet =
      lsan ? std::string(lsan) + ":print_suppressions=0" : "print_suppressions=0";
  setenv("LSAN_OPTIONS", quiet.c_str(), 1);
  for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  std::vector<std::string> copies{QELCTL_PATH};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (auto &copy : copies) argv.push_back(copy.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Reads both pipes together, so that a child filling one of them never blocks.
void drain(int out, int err, QelctlRun &run) {
  std::array<pollfd, 2> fds{pollfd{out, POLLIN, 0}, pollfd{err, POLLIN, 0}};
  std::array<std::string *, 2> sinks{&run.out, &run.err};
  int open = 2;
  while (open > 0 && poll(fds.data(), fds.size(), -1) > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

QelctlRun runQelctl(const std::vector<std::string> &args,
                    const std::map<std::string, std::string> &environment) {
  QelctlRun run;
  int out[2], err[2];
  if (pipe(out) != 0) return run;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    close(err[0]);
    execQelctl(args, environment, out[1], err[1]);
  }
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return run;
  }
  drain(out[0], err[0], run);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace qel::test

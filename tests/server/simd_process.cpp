#include "simd_process.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <thread>

namespace qel::test {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(10);

int exitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// execv wants mutable strings.
[[noreturn]] void execServer(const std::vector<std::string> &args) {
  std::vector<std::string> copies{QEL_SIMD_PATH};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

SimdProcess::~SimdProcess() { stop(); }

bool SimdProcess::registered(uint32_t program) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return pmap_getport(&address, program, 1, IPPROTO_TCP) != 0;
}

uint32_t SimdProcess::freeProgram() {
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> transient(0x40000000u, 0x5FFFFFFFu);
  uint32_t program = transient(random);
  while (registered(program)) program = transient(random);
  return program;
}

bool SimdProcess::start(uint32_t program, const std::vector<std::string> &extraArgs) {
  stop();
  program_ = program != 0 ? program : freeProgram();
  std::vector<std::string> args{"--foreground", "--log-level", "1", "--program",
                                std::to_string(program_)};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = fork();
  if (pid_ == 0) execServer(args);
  if (pid_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (registered(program_)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(kPoll);
  }
  stop();
  return false;
}

std::optional<int> SimdProcess::waitForExit(std::chrono::milliseconds limit) {
  if (pid_ < 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return exitStatus(status);
    }
    std::this_thread::sleep_for(kPoll);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

int SimdProcess::stop() {
  if (pid_ < 0) return -1;
  kill(pid_, SIGTERM);
  if (auto status = waitForExit(kStopLimit)) return *status;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return -1;
}

// stderr goes to a file rather than a pipe: a server that detaches keeps it open.
int SimdProcess::run(const std::vector<std::string> &args, std::string &errors) {
  char path[] = "/tmp/qel-simd-stderr-XXXXXX";
  const int file = mkstemp(path);
  if (file < 0) return -1;
  unlink(path);
  const pid_t child = fork();
  if (child == 0) {
    dup2(file, STDERR_FILENO);
    execServer(args);
  }
  int status = 0;
  const bool ended = child > 0 && waitpid(child, &status, 0) == child;
  errors.clear();
  char buffer[512];
  for (off_t at = 0;;) {
    const ssize_t n = pread(file, buffer, sizeof buffer, at);
    if (n <= 0) break;
    errors.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
  close(file);
  return ended ? exitStatus(status) : -1;
}

}  // namespace qel::test

// The product name end to end. Each case runs in a child process with a mount namespace of its
// own, where a private file system covers the map's directory: no real map at that path is read
// or disturbed. The child reads the "product-id" sensor from a scripted server and reports
// through a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "protocol/procedures.hpp"
#include "scripted_server.hpp"

namespace qel::test {
namespace {

constexpr uint32_t kGetSensorValue = proc::GetSensorValue::kNumber;
constexpr char kConfigDirectory[] = "/usr/local/config";
constexpr char kMapPath[] = "/usr/local/config/prod_id_map";

Reply reading(float value, int errorCode = 0) {
  return Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{errorCode, value});
}

struct Scenario {
  const char *map;  // the map file's contents; null: there is no map
  Reply sensor;
  bool serverRunning = true;
};

// What the child saw; plain bytes, so it crosses the pipe as it is.
struct Outcome {
  bool skipped;
  char problem[160];  // why the child could not set the case up
  unsigned int result;
  bool nameWritten;
  bool nameNull;
  char name[256];
  int errnoAfter;
  bool mapLeftOpen;
  int sensorCalls;
  bool askedForProductId;
  int childStatus;
};

// True when the setup step failed for want of privilege, which skips rather than fails.
bool refused(int error) { return error == EPERM || error == EACCES; }

bool fail(Outcome &outcome, const char *step) {
  outcome.skipped = refused(errno);
  std::snprintf(outcome.problem, sizeof outcome.problem, "%s: %s", step, std::strerror(errno));
  return false;
}

// A private, empty map directory, seen only inside this process's own mount namespace.
bool privateConfigDirectory(Outcome &outcome) {
  if (unshare(CLONE_NEWNS) != 0) return fail(outcome, "unshare");
  if (mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0) {
    return fail(outcome, "making / private");
  }
  struct stat existing {};
  if (stat(kConfigDirectory, &existing) == 0) {
    if (mount("tmpfs", kConfigDirectory, "tmpfs", 0, "size=1m") != 0) {
      return fail(outcome, "tmpfs on the map directory");
    }
    return true;
  }
  if (mount("tmpfs", "/usr/local", "tmpfs", 0, "size=1m") != 0) {
    return fail(outcome, "tmpfs on /usr/local");
  }
  if (mkdir(kConfigDirectory, 0755) != 0) return fail(outcome, "creating the map directory");
  return true;
}

bool writeMap(const char *contents, Outcome &outcome) {
  std::FILE *file = std::fopen(kMapPath, "w");
  if (file == nullptr) return fail(outcome, "creating the map");
  const std::size_t length = std::strlen(contents);
  const bool written = std::fwrite(contents, 1, length, file) == length;
  return std::fclose(file) == 0 && written ? true : fail(outcome, "writing the map");
}

bool mapIsOpen() {
  for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ignored;
    if (std::filesystem::read_symlink(entry.path(), ignored) == kMapPath) return true;
  }
  return false;
}

void lookUpInChild(const Scenario &scenario, Outcome &outcome) {
  if (!privateConfigDirectory(outcome)) return;
  if (scenario.map != nullptr && !writeMap(scenario.map, outcome)) return;
  ScriptedServer server;
  server.answer(kGetSensorValue, scenario.sensor);
  if (!scenario.serverRunning) server.shutDown();
  qelDisconnect();
  // Remembered for the operation's own connection even when the server is gone.
  qelConnect(nullptr, server.program());

  char untouched[] = "untouched";
  char *name = untouched;
  outcome.result = qelGetProductId(&name);
  outcome.errnoAfter = errno;
  outcome.mapLeftOpen = mapIsOpen();
  outcome.nameWritten = name != untouched;
  if (outcome.nameWritten) {
    outcome.nameNull = name == nullptr;
    if (name != nullptr) std::snprintf(outcome.name, sizeof outcome.name, "%s", name);
    free(name);
  }
  const auto calls = server.callsOf(kGetSensorValue);
  outcome.sensorCalls = static_cast<int>(calls.size());
  outcome.askedForProductId = !calls.empty() && calls.back().arguments == xdrString("product-id");
  qelDisconnect();
}

Outcome lookUp(const Scenario &scenario) {
  Outcome outcome{};
  int channel[2];
  if (pipe(channel) != 0) {
    std::snprintf(outcome.problem, sizeof outcome.problem, "pipe: %s", std::strerror(errno));
    return outcome;
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    Outcome seen{};
    lookUpInChild(scenario, seen);
    const bool sent = write(channel[1], &seen, sizeof seen) == static_cast<ssize_t>(sizeof seen);
    close(channel[1]);
    // A normal exit, so that a sanitizer build checks the child for leaks as well.
    std::exit(sent ? 0 : 1);
  }
  close(channel[1]);
  if (child < 0 || read(channel[0], &outcome, sizeof outcome) != sizeof outcome) {
    outcome = Outcome{};
    std::snprintf(outcome.problem, sizeof outcome.problem, "the child reported nothing");
  }
  close(channel[0]);
  int status = -1;
  if (child > 0) waitpid(child, &status, 0);
  outcome.childStatus = status;
  return outcome;
}

// Every case: set up, the child ended cleanly, and the map was closed again.
#define LOOK_UP(outcome, scenario)                                                     \
  const Outcome outcome = lookUp(scenario);                                            \
  if (outcome.skipped) GTEST_SKIP() << outcome.problem;                                \
  ASSERT_STREQ(outcome.problem, "");                                                   \
  EXPECT_TRUE(WIFEXITED(outcome.childStatus) && WEXITSTATUS(outcome.childStatus) == 0) \
      << "child status " << outcome.childStatus;                                       \
  EXPECT_FALSE(outcome.mapLeftOpen)

constexpr char kLongPiece[] =
    "10|aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";  // 127 characters: one whole read

struct NameCase {
  const char *name;
  std::string map;
  float reading;
  const char *productName;
};

const NameCase kNames[] = {
    {"exact reading", "1A|Alpha\n", 26.0f, "Alpha"},
    {"reading truncated down", "1A|Alpha\n", 26.9f, "Alpha"},
    {"reading truncated", "1A|Alpha\n", 26.1f, "Alpha"},
    {"0x prefix", "0x1a|Alpha\n", 26.0f, "Alpha"},
    {"leading blanks", "  1A|Alpha\n", 26.0f, "Alpha"},
    {"blank before the bar", "1A |Alpha\n", 26.0f, "Alpha"},
    {"empty field between", "1A||Alpha\n", 26.0f, "Alpha"},
    {"leading bar", "|1A|Alpha\n", 26.0f, "Alpha"},
    {"extra fields ignored", "1A|Alpha|rev 2\n", 26.0f, "Alpha"},
    {"name keeps its space", "1A|Alpha Beta\n", 26.0f, "Alpha Beta"},
    {"lines without a name skipped", "1A|\n1A\n||\n\n1A|Alpha\n", 26.0f, "Alpha"},
    {"carriage return stays", "1A|Alpha\r\n", 26.0f, "Alpha\r"},
    {"no digits is zero", "zz|Zed\n", 0.5f, "Zed"},
    {"comment-like line is zero", "#note|Note\n", -0.5f, "Note"},
    {"negative number", "-5|Minus\n", -5.0f, "Minus"},
    {"first of duplicates", "1B|Other\n1A|First\n1A|Second\n", 26.0f, "First"},
    {"last line without newline", "1B|Beta\n1A|Alpha", 26.0f, "Alpha"},
    {"below the sentinel", "-12C|Minus300\n", -300.5f, "Minus300"},
    {"reading beyond the range", "7FFFFFFF|Max\n", 3e9f, "Max"},
    {"reading not a number", "0|Zero\n", std::nanf(""), "Zero"},
    {"long line: first piece", std::string(kLongPiece) + "1A|Tail\n", 16.0f, kLongPiece + 3},
    {"long line: rest matched alone", std::string(kLongPiece) + "1A|Tail\n", 26.0f, "Tail"},
    {"sentinel reading", "-12C|Minus300\n", -300.0f, "N/A"},
    {"sentinel with an empty map", "", -300.0f, "N/A"},
};

TEST(ProductIdTest, NameOfTheFirstMatchingLine) {
  static_assert(sizeof kLongPiece == 128);
  for (const NameCase &c : kNames) {
    SCOPED_TRACE(c.name);
    LOOK_UP(outcome, (Scenario{c.map.c_str(), reading(c.reading)}));
    EXPECT_EQ(outcome.result, RESULT_OK);
    ASSERT_TRUE(outcome.nameWritten);
    EXPECT_STREQ(outcome.name, c.productName);
    EXPECT_EQ(outcome.sensorCalls, 1);
    EXPECT_TRUE(outcome.askedForProductId);
  }
}

TEST(ProductIdTest, NoMatchingLineGives5AndLeavesTheName) {
  const char *maps[] = {"", "1B|Beta\n1A0|Alpha0\n", "1A|\n1A\n|||\n", "zz|Zed\n"};
  for (const char *map : maps) {
    SCOPED_TRACE(map);
    LOOK_UP(outcome, (Scenario{map, reading(26.0f)}));
    EXPECT_EQ(outcome.result, RESULT_NOT_AVAILABLE);
    EXPECT_FALSE(outcome.nameWritten);
  }
}

TEST(ProductIdTest, MissingMapGives18BeforeTheSensorIsAsked) {
  for (bool serverRunning : {true, false}) {
    SCOPED_TRACE(serverRunning ? "server running" : "server unreachable");
    LOOK_UP(outcome, (Scenario{nullptr, reading(-300.0f), serverRunning}));
    EXPECT_EQ(outcome.result, RESULT_FILE_UNAVAILABLE);
    EXPECT_EQ(outcome.errnoAfter, ENOENT);
    EXPECT_FALSE(outcome.nameWritten);
    EXPECT_EQ(outcome.sensorCalls, 0);
  }
}

TEST(ProductIdTest, AnySensorFailureGives24) {
  const std::pair<const char *, Scenario> failures[] = {
      {"server error", {"1A|Alpha\n", reading(26.0f, 3)}},
      {"negative server error", {"1A|Alpha\n", reading(26.0f, -1)}},
      {"server error with the sentinel", {"1A|Alpha\n", reading(-300.0f, 15)}},
      {"connection dropped", {"1A|Alpha\n", Reply::drop()}},
      {"reply cut short", {"1A|Alpha\n", reading(26.0f).cutTo(6)}},
      {"server unreachable", {"1A|Alpha\n", reading(26.0f), false}},
  };
  for (const auto &[name, scenario] : failures) {
    SCOPED_TRACE(name);
    LOOK_UP(outcome, scenario);
    EXPECT_EQ(outcome.result, RESULT_NOT_REGISTERED);
    EXPECT_FALSE(outcome.nameWritten);
  }
}

}  // namespace
}  // namespace qel::test

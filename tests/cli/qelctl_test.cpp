// SPDX-License-Identifier: Apache-2.0
// qelctl run in-process against qel-simd started with a scenario whose readings hold still:
// lines run in order with their exact output and exit status, every command of the grammar as
// one JSON document, the failures that need no server, and the documentation of every command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "cli/app.hpp"
#include "qel.h"
#include "scripted_server.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using Json = nlohmann::json;

struct Outcome {
  int status;
  std::string out, err;
};

// A command line's words, split at blanks ('' is an empty word).
std::vector<std::string> split(const std::string &line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word == "''" ? "" : word);
  return words;
}

// One command line; date stamps in its output read TIME.
Outcome qelctl(const std::string &line) {
  std::vector<std::string> words = split("qelctl " + line);
  std::vector<const char *> argv;
  for (const std::string &word : words) argv.push_back(word.c_str());
  std::ostringstream out, err;
  const int status = cli::run(static_cast<int>(argv.size()), argv.data(), out, err);
  const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \w+)");
  return {status, std::regex_replace(out.str(), stamp, "TIME"), err.str()};
}

class QelctlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.start(0, {"--scenario", QELCTL_SCENARIO})); }
  Outcome run(const std::string &line) {
    return qelctl("--program " + std::to_string(server_.program()) + " " + line);
  }
  SimdProcess server_;
};

const char kNotANumber[] = "' is not a 32-bit number (decimal, or hexadecimal with 0x)";
std::string usage(const std::string &error, const char *command) {
  return "qelctl: " + error + "\nRun 'qelctl" + command + " --help' for usage.\n";
}
const std::string kUnregistered =
    "cannot reach the management server: program not registered (RESULT_NOT_REGISTERED, 24)";

// Run in this order against one server: what a line writes shows in the lines after it.
const std::tuple<const char *, int, std::string, std::string> kLines[] = {
    {"net ip get 0", 0,
     "enabled:          yes\ndhcp:             no\naddress:          192.0.2.10\n"
     "netmask:          255.255.255.0\ngateway:          192.0.2.1\nlabel:            mgmt0\n"
     "hardware address: 02:00:5e:10:00:01\n",
     ""},
    {"--json net ip 1", 0,
     R"({"command":"net ip","result":0,"enabled":false,"dhcp":true,"address":null,)"
     R"("netmask":null,"gateway":null,"label":"sideband0","hardwareAddress":"02:00:5e:10:00:02"})",
     ""},
    {"sensor get cpu0-temp dimm1-temp", 0, "SENSOR      VALUE\ncpu0-temp   52.5\ndimm1-temp  -\n",
     ""},
    {"net dns set --form three 1.1.1.1 '' 3.3.3.3 --text t3", 0, "", ""},
    {"net dns --form text", 0, "servers: 1.1.1.1, 3.3.3.3\ntext:    t3\n", ""},
    {"sensor set cpu0-temp 90", 0, "", ""},
    {"sensor watch cpu0-temp fan0-speed dimm1-temp no-such --count 1", 0,
     "TIME\nSENSOR      VALUE  LOW CRIT  LOW WARN  HIGH WARN  HIGH CRIT  STATE\n"
     "cpu0-temp   90.0   0.0       5.0       85.0       95.0       warning\n"
     "fan0-speed  900.0  1000.0    1500.0    -          -          critical\n"
     "dimm1-temp  -      -         -         -          -          no reading\n"
     "no-such     -      -         -         -          -          error\n",
     ""},
    {"console set 9600 7 2 2 4294967295", 0, "", ""},
    {"console", 0, "value1: 9600\nvalue2: 7\nvalue3: 2\nvalue4: 2\nvalue5: 4294967295\n", ""},
    // Refused while the line is read, before any connection.
    {"", 64, "", usage("A subcommand is required", "")},
    {"net ip set 0 --dhcp --address 1.2.3.4", 64, "",
     usage("--dhcp excludes --address", " net ip set")},
    {"net ip --numeric set 0 --gateway 017", 64, "",
     usage(std::string("--gateway: '017") + kNotANumber, " net ip set")},
    // '@': against a program nothing registered. Commands that make no remote call still work.
    {"@platform power-state", 2, "", "qelctl: " + kUnregistered + "\n"},
    {"@--json net dns", 2,
     R"({"command":"net dns","result":24,"symbol":"RESULT_NOT_REGISTERED","error":")" +
         kUnregistered + "\"}",
     "qelctl: " + kUnregistered + "\n"},
    {"@net address format 1", 0, "address: 0.0.0.1\n", ""},
};

TEST_F(QelctlTest, LinesInOrder) {
  const std::string unregistered = "--program " + std::to_string(freeProgram()) + " ";
  for (const auto &[line, status, out, err] : kLines) {
    const bool away = line[0] == '@', json = std::strncmp(line + away, "--json", 6) == 0;
    const Outcome ran = away ? qelctl(unregistered + (line + 1)) : run(line);
    EXPECT_EQ(ran.status, status) << line;
    EXPECT_EQ(json ? Json::parse(ran.out) : Json(ran.out), json ? Json::parse(out) : Json(out))
        << line;
    EXPECT_EQ(ran.err, err) << line;
  }
}

// What a command can check itself is refused while the line is read (64, the argument named),
// with no server running: a command that connected first would fail with 24 instead.
TEST(QelctlArguments, MalformedArgumentsAreRefusedBeforeAnyConnection) {
  const std::string quad = "' is not a dotted-quad address (four numbers of 0 to 255)";
  const std::string id = "' is not a sensor identifier (1 to 31 characters)", id32(32, 's');
  const std::pair<std::string, std::string> kMalformed[] = {
      {"net ip set 0 --address 999.1.1.1", "--address: '999.1.1.1" + quad},
      {"net ip set 0 --netmask 255.0.255.0",
       "--netmask: '255.0.255.0' is not a netmask (ones, then zeros)"},
      {"net ip 1x", "Could not convert: IFACE = 1x"},
      {"net dns --form four", "--form: four not in {three,one,text}"},
      {"net dns set 1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4", "SERVERS: at most three servers"},
      {"net dns set 1.1.1.1,,1.2.3", "SERVERS: '1.2.3" + quad},
      {"net dns set --form three 1.1.1.1 1.2", "server 2: '1.2" + quad},
      {"net hostname set bad_name",
       "NAME: 'bad_name' is not a host name (labels of letters, "
       "digits and inner hyphens, joined by dots)"},
      {"net reset 65536", "Could not convert: SELECTOR = 65536"},
      {"net address parse 1.2.3", "ADDRESS: '1.2.3" + quad},
      {"net address format 1.2.3", std::string("VALUE: '1.2.3") + kNotANumber},
      {"process register 0", "PID: Value 0 not in range 1 to 2147483647"},
      {"process register 1 4294967296", "TAG: Value 4294967296 not in range 0 to 4294967295"},
      {"server debug-level set high", "Could not convert: LEVEL = high"},
      {"server notify x", "Could not convert: NOTIFICATION = x"},
      {"platform power-state set on", "Could not convert: VALUE = on"},
      {"platform action 1 --option 256", "--option: Value 256 not in range 0 to 255"},
      {"platform event dimm 1 2 3 x ecc", "Could not convert: VALUE4 = x"},
      {"sensor get cpu0-temp " + id32, "NAME: '" + id32 + id},
      {"sensor set cpu0-temp nan", "VALUE: 'nan' is not a finite number"},
      {"sensor info ''", "NAME: '" + id},
      {"sensor thresholds " + id32, "NAME: '" + id32 + id},
      {"sensor thresholds set cpu0-temp 0 5 85 1e39", "THRESHOLDS: '1e39' is not a finite number"},
      {"sensor vrm-goodness 1 --count 65", "--count: Value 65 not in range 0 to 64"},
      {"sensor watch cpu0-temp --interval 0",
       "--interval: '0' is not a number of seconds above 0 and up to 86400"},
      {"console set 1 2 3 4 4294967296", "VALUE5: Value 4294967296 not in range 0 to 4294967295"},
      {"cpu set 1 -1 3 4 5", "VALUE2: Value -1 not in range 0 to 4294967295"},
      {"pbm set x text", "Could not convert: SELECTOR = x"},
      {"--program 0x100000000 sensor list",
       "--program: Value 0x100000000 not in range 0 to 4294967295"},
  };
  const std::string away = "--program " + std::to_string(freeProgram()) + " ";
  for (const auto &[line, error] : kMalformed) {
    const Outcome ran = qelctl(line.starts_with("--program") ? line : away + line);
    EXPECT_EQ(ran.status, 64) << line;
    EXPECT_EQ(ran.err.substr(0, ran.err.find('\n')), "qelctl: " + error) << line;
  }
}

// Every command of the grammar writes one JSON document naming itself. The table must grow
// with the grammar: a command missing here fails the test, as does one that the man page or
// the completion does not know.
TEST_F(QelctlTest, EveryCommandWritesOneJsonDocument) {
  const std::string commands =
      "server state|server configure|server debug-level set 2|server notify 1|"
      "process register 1234 7|net ip get 0|net ip set 0 --address 192.0.2.30|net dns get|"
      "net dns set 192.0.2.53|net hostname get|net hostname set sp-json|"
      "net address parse 1.2.3.4|net address format 16909060|date get|date set|platform state|"
      "platform power-state get|platform power-state set 1|platform power-level get|"
      "platform power-level set 90|platform shutdown-reason|platform type chassis|"
      "platform action 4 --option 255|platform button 3|"
      "platform event machine-check 1 2 3 bank|platform event dimm 1 2 3 4 ecc|sensor list|"
      "sensor get cpu0-temp|sensor set cpu0-temp 50|sensor info cpu0-temp|"
      "sensor thresholds get cpu0-temp|sensor thresholds set cpu0-temp 0 5 85 95|"
      "sensor vrm-goodness 1|sensor watch cpu0-temp --count 1|fan state|report xml|report text|"
      "report es cpu0|component status|component presence cpu0|console get|"
      "console set 115200 8 0 1 0|cpu set 1 2 3 4 5|product get|pbm get 0|pbm set 3 x|"
      "net reset 0|sp reboot|server stop";
  cli::GlobalOptions options;
  cli::CommandTable table;
  CLI::App app("", "qelctl");
  cli::addCommands(app, options, table);
  std::set<std::string> covered;
  std::istringstream list(commands);
  for (std::string line; std::getline(list, line, '|');) {
    const std::vector<std::string> words = split(line);
    app.parse(std::vector<std::string>(words.rbegin(), words.rend()));
    const std::string command = table.selection()->command;
    const CLI::App *reached = &app;
    while (!reached->get_subcommands().empty()) reached = reached->get_subcommands().front();
    covered.insert(cli::commandPath(*reached));
    app.clear();
    const Json document = Json::parse(run("--json " + line).out, nullptr, false);
    EXPECT_EQ(document.value("command", "?"), command) << line;
    // The product's result depends on the machine's map file.
    EXPECT_TRUE(command == "product" || document.value("result", 99u) == 0) << line;
  }
  // Each command is in the man page and has an entry in the completion.
  std::stringstream man, completion;
  man << std::ifstream(QELCTL_MAN_PAGE).rdbuf();
  completion << std::ifstream(QELCTL_COMPLETION).rdbuf();
  std::string page = std::regex_replace(man.str(), std::regex(R"(\\-)"), "-");
  page = std::regex_replace(page, std::regex(R"(\\f[BIR]|\[get\] )"), "");
  for (const std::string &path : covered) {
    const std::string leaf = path.substr(0, path.size() - (path.ends_with(" get") ? 4 : 0));
    EXPECT_NE(page.find(leaf), std::string::npos) << path;
    EXPECT_NE(completion.str().find("[\"" + path + "\"]="), std::string::npos) << path;
  }
  // The table must grow with the grammar.
  std::function<std::size_t(const CLI::App &)> leaves = [&](const CLI::App &at) {
    const auto subs = at.get_subcommands([](const CLI::App *) { return true; });
    std::size_t count = subs.empty();
    for (const CLI::App *sub : subs) count += leaves(*sub);
    return count;
  };
  EXPECT_EQ(leaves(app), covered.size());
}

}  // namespace
}  // namespace qel::test

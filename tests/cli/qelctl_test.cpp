// qelctl as a process against qel-simd started on a program number of its own with a scenario
// whose readings hold still: human output against golden text, --json documents parsed and
// checked, settings written and read back, and the error lines and exit statuses.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "cli/app.hpp"
#include "qelctl_process.hpp"
#include "simd_process.hpp"

namespace qel::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

constexpr int kServerRefused = 1;
constexpr int kLibraryFailure = 2;
constexpr int kUsage = 64;

class QelctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.start(0, {"--scenario", QELCTL_SCENARIO}));
    program_ = std::to_string(server_.program());
  }

  QelctlRun qelctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--program", program_});
    return runQelctl(args);
  }

  // Runs a command with --json, expecting success and one document naming the command.
  Json json(std::vector<std::string> args, const std::string &command) {
    args.insert(args.begin(), "--json");
    const QelctlRun run = qelctl(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Json document = Json::parse(run.out, nullptr, false);
    EXPECT_FALSE(document.is_discarded()) << run.out;
    if (document.is_discarded()) return Json::object();
    EXPECT_EQ(document.value("command", ""), command);
    EXPECT_EQ(document.value("result", -1), 0);
    return document;
  }

  SimdProcess server_;
  std::string program_;
};

bool productMapExists() { return std::ifstream("/usr/local/config/prod_id_map").good(); }

struct GoldenCase {
  std::vector<std::string> args;
  std::string out;
};

// Commands whose human output does not change while the scenario's readings hold still.
const GoldenCase kGolden[] = {
    {{"net", "ip", "get", "0"},
     "enabled:          yes\n"
     "dhcp:             no\n"
     "address:          192.0.2.10\n"
     "netmask:          255.255.255.0\n"
     "gateway:          192.0.2.1\n"
     "label:            mgmt0\n"
     "hardware address: 02:00:5e:10:00:01\n"},
    {{"net", "ip", "get", "0", "--numeric"},
     "enabled:          yes\n"
     "dhcp:             no\n"
     "address:          3221225994\n"
     "netmask:          4294967040\n"
     "gateway:          3221225985\n"
     "label:            mgmt0\n"
     "hardware address: 02:00:5e:10:00:01\n"},
    {{"net", "dns"},
     "servers: 192.0.2.53, 192.0.2.54\n"
     "text:    search lab.example\n"},
    {{"net", "dns", "--form", "text"},
     "servers: 192.0.2.53, 192.0.2.54\n"
     "text:    search lab.example\n"},
    {{"net", "dns", "get", "--form", "one", "--numeric"},
     "servers: 3221226037\n"
     "text:    search lab.example\n"},
    {{"net", "hostname"}, "sp-test\n"},
    {{"net", "address", "parse", "10.1.2.3"},
     "address: 10.1.2.3\n"
     "value:   167838211\n"
     "hex:     0x0A010203\n"},
    {{"net", "address", "format", "0xC0000201"}, "address: 192.0.2.1\n"},
    {{"platform", "power-level"}, "power level: 80\n"},
    {{"platform", "power-level", "get"}, "power level: 80\n"},
    {{"platform", "shutdown-reason"}, "shutdown reason: 3\n"},
    {{"platform", "type", "chassis"}, "type: 3\n"},
    {{"sensor", "get", "cpu0-temp", "dimm1-temp"},
     "SENSOR      VALUE\n"
     "cpu0-temp   52.5\n"
     "dimm1-temp  -\n"},
    {{"sensor", "thresholds", "cpu0-vcore"},
     "THRESHOLD  ROLE            VALUE  FLAG\n"
     "1          lower critical  0.9    1\n"
     "2          lower warning   0.95   1\n"
     "3          upper warning   1.2    1\n"
     "4          upper critical  1.3    1\n"},
    {{"sensor", "vrm-goodness", "1"}, "goodness: 1, 2, 0, 0\n"},
    {{"sensor", "vrm-goodness", "1", "--count", "1"}, "goodness: 1\n"},
    {{"pbm", "0"}, "BOOT\n"},
    {{"console"},
     "value1: 115200\n"
     "value2: 8\n"
     "value3: 0\n"
     "value4: 1\n"
     "value5: 0\n"},
    {{"pbm", "get", "0"}, "BOOT\n"},
    {{"net", "hostname", "set", "sp-other"}, ""},
    {{"server", "configure"}, ""},
};

TEST_F(QelctlTest, HumanOutputMatchesGoldenText) {
  for (const GoldenCase &c : kGolden) {
    const QelctlRun run = qelctl(c.args);
    std::string line;
    for (const auto &arg : c.args) line += " " + arg;
    EXPECT_EQ(run.status, 0) << line << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << line;
  }
}

TEST_F(QelctlTest, SensorListNamesEveryScenarioSensor) {
  const QelctlRun run = qelctl({"sensor", "list"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char *id : {"cpu0-temp\n", "cpu0-vcore\n", "fan0-speed\n", "dimm1-temp\n"}) {
    EXPECT_NE(run.out.find(id), std::string::npos) << id;
  }
  Json document = json({"sensor", "list"}, "sensor list");
  ASSERT_TRUE(document["sensors"].is_array());
  EXPECT_EQ(document["sensors"].size(),
            static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')));
}

TEST_F(QelctlTest, JsonDocumentsCarryTheirKeys) {
  Json ip = json({"net", "ip", "1"}, "net ip");
  EXPECT_EQ(ip["enabled"], false);
  EXPECT_EQ(ip["dhcp"], true);
  EXPECT_EQ(ip["label"], "sideband0");
  EXPECT_EQ(ip["hardwareAddress"], "02:00:5e:10:00:02");
  for (const char *key : {"address", "netmask", "gateway"}) EXPECT_TRUE(ip.contains(key)) << key;

  Json dns = json({"net", "dns", "get"}, "net dns");
  EXPECT_EQ(dns["servers"], Json({"192.0.2.53", "192.0.2.54"}));
  EXPECT_EQ(dns["text"], "search lab.example");

  Json readings = json({"sensor", "get", "cpu0-temp", "dimm1-temp"}, "sensor get");
  ASSERT_EQ(readings["readings"].size(), 2u);
  EXPECT_EQ(readings["readings"][0], Json({{"sensor", "cpu0-temp"}, {"value", 52.5}}));
  EXPECT_TRUE(readings["readings"][1]["value"].is_null());

  Json thresholds = json({"sensor", "thresholds", "fan0-speed"}, "sensor thresholds");
  ASSERT_EQ(thresholds["thresholds"].size(), 4u);
  EXPECT_EQ(thresholds["thresholds"][0],
            Json({{"threshold", 1}, {"role", "lower critical"}, {"value", 1000.0}, {"flag", 1}}));
  EXPECT_EQ(thresholds["thresholds"][3]["flag"], 0);

  Json info = json({"sensor", "info", "cpu0-temp"}, "sensor info");
  for (const char *key : {"text1", "text7", "intValue1", "intValue5", "realValue1"}) {
    EXPECT_TRUE(info.contains(key)) << key;
  }

  Json fan = json({"fan", "state"}, "fan state");
  ASSERT_TRUE(fan["entries"].is_array());
  EXPECT_EQ(fan["entries"].size(), fan["entryCount"].get<std::size_t>());

  Json status = json({"component", "status", "cpu0"}, "component status");
  EXPECT_TRUE(status["status"].is_number_integer());
  Json presence = json({"component", "presence"}, "component presence");
  EXPECT_TRUE(presence["report"].is_string());

  Json xml = json({"report", "xml", "cpu0"}, "report xml");
  EXPECT_NE(xml["report"].get<std::string>().find("cpu0-temp"), std::string::npos);

  Json state = json({"server", "state"}, "server state");
  EXPECT_FALSE(state["state"].get<std::string>().empty());

  Json date = json({"date"}, "date");
  EXPECT_TRUE(std::regex_match(date["date"].get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \w+)")));
}

// What each setting command writes comes back from the command that reads it.
TEST_F(QelctlTest, SettingsReadBackAsWritten) {
  struct RoundTrip {
    std::vector<std::string> set;
    std::vector<std::string> get;
    std::string command;
    std::string key;
    Json expected;
  };
  const RoundTrip trips[] = {
      {{"net", "hostname", "set", "sp-new"},
       {"net", "hostname"},
       "net hostname",
       "hostname",
       "sp-new"},
      {{"net", "ip", "set", "0", "--address", "192.0.2.20", "--netmask", "255.255.0.0", "--gateway",
        "192.0.2.254"},
       {"net", "ip", "0"},
       "net ip",
       "address",
       "192.0.2.20"},
      {{"net", "dns", "set", "1.1.1.1, 8.8.8.8", "--text", "search example"},
       {"net", "dns"},
       "net dns",
       "servers",
       {"1.1.1.1", "8.8.8.8"}},
      {{"net", "dns", "set", ""}, {"net", "dns"}, "net dns", "servers", Json::array()},
      {{"platform", "power-level", "set", "50"},
       {"platform", "power-level"},
       "platform power-level",
       "powerLevel",
       50},
      {{"sensor", "set", "cpu0-temp", "61.25"},
       {"sensor", "get", "cpu0-temp"},
       "sensor get",
       "readings",
       {{{"sensor", "cpu0-temp"}, {"value", 61.25}}}},
      {{"pbm", "set", "2", "hello there"}, {"pbm", "2"}, "pbm", "text", "hello there"},
      {{"console", "set", "9600", "7", "2", "2", "4294967295"},
       {"console"},
       "console",
       "value5",
       4294967295u},
  };
  for (const RoundTrip &trip : trips) {
    const QelctlRun run = qelctl(trip.set);
    ASSERT_EQ(run.status, 0) << trip.command << ": " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(json(trip.get, trip.command)[trip.key], trip.expected) << trip.command;
  }

  ASSERT_EQ(qelctl({"sensor", "thresholds", "set", "cpu0-temp", "-10", "-5.5", "70", "80",
                    "--flags", "0", "1", "1", "200"})
                .status,
            0);
  Json thresholds = json({"sensor", "thresholds", "cpu0-temp"}, "sensor thresholds");
  EXPECT_EQ(thresholds["thresholds"][1]["value"], -5.5);
  EXPECT_EQ(thresholds["thresholds"][2]["value"], 70.0);
  EXPECT_EQ(thresholds["thresholds"][0]["flag"], 0);
  EXPECT_EQ(thresholds["thresholds"][3]["flag"], 200);
}

// Addresses written through one form of an operation come back through the others: the
// numeric and dotted-quad forms of the interface settings, and the three-server, one-server
// and text forms of the DNS servers. Rows run in order against one server.
TEST_F(QelctlTest, AddressFormsReadBackThroughEachOther) {
  struct Crossing {
    std::vector<std::string> set;
    std::vector<std::string> get;
    std::string command;
    Json expected;  // the keys that the read must show, with their values
  };
  const Crossing crossings[] = {
      {{"net", "ip", "set", "0", "--numeric", "--address", "0xC0000214", "--netmask", "4294901760",
        "--gateway", "3221226238"},
       {"net", "ip", "0"},
       "net ip",
       {{"enabled", true},
        {"dhcp", false},
        {"address", "192.0.2.20"},
        {"netmask", "255.255.0.0"},
        {"gateway", "192.0.2.254"}}},
      {{"net", "ip", "set", "0", "--address", "198.51.100.7", "--netmask", "255.255.255.128"},
       {"net", "ip", "get", "0", "--numeric"},
       "net ip",
       {{"enabled", true},
        {"address", 3325256711u},
        {"netmask", 4294967168u},
        {"gateway", nullptr},
        {"label", "mgmt0"},
        {"hardwareAddress", "02:00:5e:10:00:01"}}},
      {{"net", "ip", "set", "0", "--numeric", "--disable", "--address", "3325256712"},
       {"net", "ip", "0"},
       "net ip",
       {{"enabled", false}, {"address", "198.51.100.8"}, {"netmask", nullptr}}},
      {{"net", "ip", "--numeric", "set", "0", "--address", "0"},
       {"net", "ip", "0"},
       "net ip",
       {{"enabled", false}, {"address", "0.0.0.0"}}},
      // On DHCP and enabled the interface reports its lease.
      {{"net", "ip", "set", "1", "--numeric", "--dhcp"},
       {"net", "ip", "1", "--numeric"},
       "net ip",
       {{"enabled", true}, {"dhcp", true}, {"address", 3325256724u}, {"label", "sideband0"}}},
      {{"net", "dns", "set", "--form", "three", "1.1.1.1", "", "3.3.3.3", "--text", "t3"},
       {"net", "dns"},
       "net dns",
       {{"servers", {"1.1.1.1", "3.3.3.3"}}, {"text", "t3"}}},
      {{"net", "dns", "set", "--form", "three", "1.1.1.1", "", "3.3.3.3"},
       {"net", "dns", "--form", "text"},
       "net dns",
       {{"servers", "1.1.1.1, 3.3.3.3"}, {"text", ""}}},
      {{"net", "dns", "set", "--form", "three", "1.1.1.1", "", "3.3.3.3"},
       {"net", "dns", "get", "--form", "one"},
       "net dns",
       {{"servers", {"1.1.1.1"}}}},
      {{"net", "dns", "set", "--form", "three", "1.1.1.1", "", "3.3.3.3"},
       {"net", "dns", "--numeric"},
       "net dns",
       {{"servers", {16843009u, 50529027u}}}},
      {{"net", "dns", "set", "--form", "three", "", "4.4.4.4"},
       {"net", "dns", "--form", "text"},
       "net dns",
       {{"servers", "4.4.4.4"}}},
      // The one-server form sets servers 2 and 3 absent, whatever they were.
      {{"net", "dns", "set", "--form", "one", "9.9.9.9", "--text", "one"},
       {"net", "dns", "--form", "text"},
       "net dns",
       {{"servers", "9.9.9.9"}, {"text", "one"}}},
      {{"net", "dns", "set", "--form", "three", "--numeric", "0x08080808", "134743044"},
       {"net", "dns", "--form", "text"},
       "net dns",
       {{"servers", "8.8.8.8, 8.8.4.4"}}},
      {{"net", "dns", "--numeric", "set", "--form", "one", "16843009"},
       {"net", "dns", "--form", "one", "--numeric"},
       "net dns",
       {{"servers", {16843009u}}}},
      {{"net", "dns", "set", "1.0.0.1 1.1.1.1"},
       {"net", "dns", "--form", "one", "--numeric"},
       "net dns",
       {{"servers", {16777217u}}}},
      {{"net", "dns", "set", "--form", "one", ""},
       {"net", "dns", "--form", "text"},
       "net dns",
       {{"servers", nullptr}, {"text", ""}}},
  };
  for (const Crossing &crossing : crossings) {
    std::string line;
    for (const auto &arg : crossing.set) line += " " + arg;
    const QelctlRun run = qelctl(crossing.set);
    ASSERT_EQ(run.status, 0) << line << ": " << run.err;
    EXPECT_EQ(run.out, "") << line;
    const Json shown = json(crossing.get, crossing.command);
    for (const auto &[key, value] : crossing.expected.items()) {
      EXPECT_EQ(shown.value(key, Json("missing")), value) << line << ": " << key;
    }
  }
}

TEST_F(QelctlTest, WatchShowsThresholdStates) {
  ASSERT_EQ(qelctl({"sensor", "set", "cpu0-temp", "90"}).status, 0);
  const QelctlRun run = qelctl({"sensor", "watch", "cpu0-temp", "cpu0-vcore", "fan0-speed",
                                "dimm1-temp", "no-such", "--count", "2", "--interval", "0.05"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string table =
      "SENSOR      VALUE  LOW CRIT  LOW WARN  HIGH WARN  HIGH CRIT  STATE\n"
      "cpu0-temp   90.0   0.0       5.0       85.0       95.0       warning\n"
      "cpu0-vcore  1.25   0.9       0.95      1.2        1.3        warning\n"
      "fan0-speed  900.0  1000.0    1500.0    -          -          critical\n"
      "dimm1-temp  -      -         -         -          -          no reading\n"
      "no-such     -      -         -         -          -          error\n";
  const std::string stamped =
      std::regex_replace(run.out, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC)"), "TIME");
  EXPECT_EQ(stamped, "TIME\n" + table + "\nTIME\n" + table);

  Json document = json({"sensor", "watch", "cpu0-temp", "no-such", "--count", "1"}, "sensor watch");
  ASSERT_EQ(document["rounds"].size(), 1u);
  Json &readings = document["rounds"][0]["readings"];
  EXPECT_EQ(readings[0]["state"], "warning");
  EXPECT_EQ(readings[0]["upperCritical"], 95.0);
  EXPECT_EQ(readings[1]["state"], "error");
  EXPECT_NE(readings[1]["error"].get<std::string>().find("refused by the management server"),
            std::string::npos);
}

// Every command of the grammar runs with --json and writes one document naming itself. The
// table must grow with the grammar: a command missing here fails the test.
TEST_F(QelctlTest, EveryCommandWritesOneJsonDocument) {
  const std::vector<std::vector<std::string>> commands = {
      {"server", "state"},
      {"server", "configure"},
      {"server", "debug-level", "set", "2"},
      {"server", "notify", "1"},
      {"process", "register", "1234", "7"},
      {"net", "ip", "get", "0"},
      {"net", "ip", "set", "0", "--address", "192.0.2.30", "--netmask", "255.255.255.0"},
      {"net", "dns", "get"},
      {"net", "dns", "set", "192.0.2.53"},
      {"net", "hostname", "get"},
      {"net", "hostname", "set", "sp-json"},
      {"net", "address", "parse", "1.2.3.4"},
      {"net", "address", "format", "16909060"},
      {"date", "get"},
      {"date", "set"},
      {"platform", "state"},
      {"platform", "power-state", "get"},
      {"platform", "power-state", "set", "1"},
      {"platform", "power-level", "get"},
      {"platform", "power-level", "set", "90"},
      {"platform", "shutdown-reason"},
      {"platform", "type", "chassis"},
      {"platform", "action", "4", "--option", "255", "--text", "from qelctl"},
      {"platform", "button", "3"},
      {"platform", "event", "machine-check", "1", "2", "3", "bank 4"},
      {"platform", "event", "dimm", "1", "2", "3", "4", "dimm1 ecc"},
      {"sensor", "list"},
      {"sensor", "get", "cpu0-temp"},
      {"sensor", "set", "cpu0-temp", "50"},
      {"sensor", "info", "cpu0-temp"},
      {"sensor", "thresholds", "get", "cpu0-temp"},
      {"sensor", "thresholds", "set", "cpu0-temp", "0", "5", "85", "95"},
      {"sensor", "vrm-goodness", "1"},
      {"sensor", "watch", "cpu0-temp", "--count", "1"},
      {"fan", "state"},
      {"report", "xml"},
      {"report", "text"},
      {"report", "es", "cpu0"},
      {"component", "status"},
      {"component", "presence", "cpu0"},
      {"console", "get"},
      {"console", "set", "115200", "8", "0", "1", "0"},
      {"cpu", "set", "1", "2", "3", "4", "5"},
      {"product", "get"},
      {"pbm", "get", "0"},
      {"pbm", "set", "3", "x"},
      {"net", "reset", "0"},
      {"sp", "reboot"},
      {"server", "stop"},
  };
  // The command tree, parsed in-process to learn which command each line reaches.
  cli::GlobalOptions options;
  cli::CommandTable table;
  CLI::App app("", "qelctl");
  cli::addCommands(app, options, table);
  std::set<std::string> covered;
  for (const auto &args : commands) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    const CLI::App *reached = &app;
    while (!reached->get_subcommands().empty()) reached = reached->get_subcommands().front();
    covered.insert(cli::commandPath(*reached));
    app.clear();

    std::vector<std::string> line = args;
    line.insert(line.begin(), "--json");
    const QelctlRun run = qelctl(line);
    const Json document = Json::parse(run.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << table.selection()->command << ": " << run.out;
    EXPECT_EQ(document.value("command", ""), table.selection()->command);
    // The product name needs the machine's product map file, which a test machine may lack.
    const int expected = table.selection()->command == "product" && !productMapExists() ? 18 : 0;
    EXPECT_EQ(document.value("result", -1), expected)
        << table.selection()->command << ": " << run.err;
    EXPECT_EQ(run.status, expected == 0 ? 0 : kLibraryFailure) << table.selection()->command;
  }
  std::function<void(const CLI::App &)> visit = [&](const CLI::App &at) {
    const auto subs = at.get_subcommands([](const CLI::App *) { return true; });
    if (subs.empty()) {
      EXPECT_EQ(covered.count(cli::commandPath(at)), 1u) << cli::commandPath(at);
    }
    for (const CLI::App *sub : subs) visit(*sub);
  };
  visit(app);
}

TEST_F(QelctlTest, ServerRefusalNamesTheCodeAndExitsOne) {
  const QelctlRun run = qelctl({"sensor", "get", "no-such"});
  EXPECT_EQ(run.status, kServerRefused);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(std::regex_match(
      run.err, std::regex(R"(qelctl: cannot read sensor 'no-such': refused by the management )"
                          R"(server \(\d+\)\n)")))
      << run.err;

  const QelctlRun document = qelctl({"--json", "sensor", "get", "no-such"});
  EXPECT_EQ(document.status, kServerRefused);
  Json error = Json::parse(document.out);
  EXPECT_EQ(error["command"], "sensor get");
  EXPECT_GT(error["result"].get<unsigned>(), 0u);
  EXPECT_TRUE(error["symbol"].is_null());
  EXPECT_EQ("qelctl: " + error["error"].get<std::string>() + "\n", run.err);
}

TEST_F(QelctlTest, MalformedAddressIsRejectedAndNothingIsSent) {
  const QelctlRun run = qelctl({"net", "ip", "set", "0", "--address", "256.1.1.1"});
  EXPECT_EQ(run.status, kLibraryFailure);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "qelctl: malformed address for --address '256.1.1.1': invalid argument "
            "(RESULT_INVALID_ARGUMENT, 4)\n");
  const QelctlRun disabled = qelctl({"net", "ip", "set", "0", "--disable", "--gateway", "1.2.3"});
  EXPECT_EQ(disabled.status, kLibraryFailure);
  EXPECT_NE(disabled.err.find("(RESULT_INVALID_ARGUMENT, 4)"), std::string::npos);
  EXPECT_EQ(json({"net", "ip", "0"}, "net ip")["address"], "192.0.2.10");
}

// A malformed address in any form is refused before anything is sent: a number with
// --numeric while the line is read (usage, 64), a dotted quad by the library's conversion (2).
TEST_F(QelctlTest, MalformedAddressesOfEveryFormAreNeverSent) {
  struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::string number = "is not a 32-bit number (decimal, or hexadecimal with 0x)";
  const std::string invalid = "invalid argument (RESULT_INVALID_ARGUMENT, 4)\n";
  const Refusal refusals[] = {
      {{"net", "ip", "set", "0", "--numeric", "--address", "192.0.2.99"},
       kUsage,
       "qelctl: --address: '192.0.2.99' " + number +
           "\nRun 'qelctl net ip set --help' for usage.\n"},
      {{"net", "ip", "set", "0", "--numeric", "--netmask", "0xFFFFFF00", "--gateway", "4294967296"},
       kUsage,
       "qelctl: --gateway: '4294967296' " + number +
           "\nRun 'qelctl net ip set --help' for usage.\n"},
      {{"net", "dns", "set", "--form", "three", "--numeric", "1", "-5"},
       kUsage,
       "qelctl: server 2: '-5' " + number + "\nRun 'qelctl net dns set --help' for usage.\n"},
      {{"net", "dns", "set", "--form", "one", "--numeric", "1.1.1.1"},
       kUsage,
       "qelctl: server 1: '1.1.1.1' " + number + "\nRun 'qelctl net dns set --help' for usage.\n"},
      {{"net", "dns", "set", "--form", "three", "1.1.1.1", "300.1.1.1"},
       kLibraryFailure,
       "qelctl: malformed address for server 2 '300.1.1.1': " + invalid},
      {{"net", "dns", "set", "--form", "one", "1.2.3"},
       kLibraryFailure,
       "qelctl: malformed address for server 1 '1.2.3': " + invalid},
  };
  for (const Refusal &refusal : refusals) {
    std::string line;
    for (const auto &arg : refusal.args) line += " " + arg;
    const QelctlRun run = qelctl(refusal.args);
    EXPECT_EQ(run.status, refusal.status) << line;
    EXPECT_EQ(run.out, "") << line;
    EXPECT_EQ(run.err, refusal.err) << line;
    const Json ip = json({"net", "ip", "0", "--numeric"}, "net ip");
    EXPECT_EQ(ip["address"], 3221225994u) << line;
    EXPECT_EQ(ip["gateway"], 3221225985u) << line;
    EXPECT_EQ(json({"net", "dns"}, "net dns")["servers"], Json({"192.0.2.53", "192.0.2.54"}))
        << line;
  }
}

TEST_F(QelctlTest, LibraryRefusalsOfArgumentsExitTwo) {
  const QelctlRun run = qelctl({"net", "dns", "set", "1.1.1.1 2.2.2.2 3.3.3.3 4.4.4.4"});
  EXPECT_EQ(run.status, kLibraryFailure);
  EXPECT_EQ(run.err,
            "qelctl: cannot set the DNS servers: too many values (RESULT_TOO_MANY_VALUES, 26)\n");
  EXPECT_EQ(json({"net", "dns"}, "net dns")["servers"], Json({"192.0.2.53", "192.0.2.54"}));
}

TEST_F(QelctlTest, ProgramComesFromTheEnvironmentWithoutOption) {
  const QelctlRun run = runQelctl({"net", "hostname"}, {{"QELPROGID", program_}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sp-test\n");
}

TEST(QelctlUnregistered, ConnectionFailureNamesTheResultAndExitsTwo) {
  const std::string program = std::to_string(SimdProcess::freeProgram());
  const std::string line =
      "qelctl: cannot reach the management server: program not registered "
      "(RESULT_NOT_REGISTERED, 24)\n";
  for (const auto &run : {runQelctl({"--program", program, "platform", "power-state"}),
                          runQelctl({"platform", "power-state", "--program", program}),
                          runQelctl({"sensor", "get", "cpu0-temp"}, {{"QELPROGID", program}})}) {
    EXPECT_EQ(run.status, kLibraryFailure);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, line);
  }
  const QelctlRun run = runQelctl({"--json", "--program", program, "net", "dns"});
  EXPECT_EQ(run.status, kLibraryFailure);
  Json error = Json::parse(run.out);
  EXPECT_EQ(error, Json({{"command", "net dns"},
                         {"result", 24},
                         {"symbol", "RESULT_NOT_REGISTERED"},
                         {"error", line.substr(8, line.size() - 9)}}));
  // Commands that make no remote call work without a server.
  EXPECT_EQ(runQelctl({"--program", program, "net", "address", "format", "1"}).out,
            "address: 0.0.0.1\n");
}

TEST(QelctlUsage, UsageErrorExitsSixtyFourWithHint) {
  const QelctlRun run = runQelctl({"net", "ip", "set"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qelctl: IFACE is required\nRun 'qelctl net ip set --help' for usage.\n");
  const QelctlRun help = runQelctl({"sensor", "watch", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--interval"), std::string::npos);
}

}  // namespace
}  // namespace qel::test

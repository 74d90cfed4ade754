// The command line as parsed in-process: usage errors, help, and the documentation of every
// command in the man page and the bash completion.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "cli/app.hpp"
#include "cli/result_names.hpp"

namespace qel::cli {
namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome runLine(std::vector<const char *> args) {
  args.insert(args.begin(), "qelctl");
  std::ostringstream out, err;
  const int status = run(static_cast<int>(args.size()), args.data(), out, err);
  return {status, out.str(), err.str()};
}

struct UsageCase {
  std::vector<const char *> args;
  std::string firstLine;
  std::string hint;
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

// Every one fails while parsing, before any connection is tried.
TEST_P(UsageTest, ExitsWithUsageStatusAndHint) {
  const UsageCase &c = GetParam();
  const Outcome outcome = runLine(c.args);
  EXPECT_EQ(outcome.status, kExitUsage);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "qelctl: " + c.firstLine + "\nRun '" + c.hint + " --help' for usage.\n");
}

const std::string kNotANumber = " is not a 32-bit number (decimal, or hexadecimal with 0x)";
const std::string kNumericText =
    "--numeric: the text form exchanges dotted quads only; choose --form three or one";

INSTANTIATE_TEST_SUITE_P(
    Lines, UsageTest,
    ::testing::Values(
        UsageCase{{}, "A subcommand is required", "qelctl"},
        UsageCase{{"bogus"}, "unknown command or argument 'bogus'", "qelctl"},
        UsageCase{{"sensor"}, "A subcommand is required", "qelctl sensor"},
        UsageCase{{"sensor", "get"}, "NAME is required", "qelctl sensor get"},
        UsageCase{{"net", "ip"}, "IFACE is required", "qelctl net ip"},
        UsageCase{{"net", "ip", "set"}, "IFACE is required", "qelctl net ip set"},
        UsageCase{{"net", "ip", "set", "0", "--dhcp", "--address", "1.2.3.4"},
                  "--dhcp excludes --address",
                  "qelctl net ip set"},
        // The forms of the address commands: a value is read as the whole line says.
        UsageCase{{"net", "ip", "set", "0", "--numeric", "--address", "192.0.2.10"},
                  "--address: '192.0.2.10'" + kNotANumber,
                  "qelctl net ip set"},
        UsageCase{{"net", "ip", "--numeric", "set", "0", "--gateway", "017"},
                  "--gateway: '017'" + kNotANumber,
                  "qelctl net ip set"},
        UsageCase{{"net", "address", "format", "017"},
                  "VALUE: '017'" + kNotANumber,
                  "qelctl net address format"},
        UsageCase{{"net", "address", "format", "-1"},
                  "VALUE: '-1'" + kNotANumber,
                  "qelctl net address format"},
        UsageCase{{"net", "dns", "--form", "text", "--numeric"}, kNumericText, "qelctl net dns"},
        UsageCase{{"net", "dns", "get", "--form", "two"},
                  "--form: two not in {three,one,text}",
                  "qelctl net dns get"},
        UsageCase{{"net", "dns", "set"}, "SERVERS is required", "qelctl net dns set"},
        UsageCase{
            {"net", "dns", "set", "--form", "three"}, "SERVERS is required", "qelctl net dns set"},
        UsageCase{
            {"net", "dns", "set", "--numeric", "16843009"}, kNumericText, "qelctl net dns set"},
        UsageCase{{"net", "dns", "set", "1.1.1.1", "8.8.8.8"},
                  "SERVERS: the text form takes the servers as one argument",
                  "qelctl net dns set"},
        UsageCase{{"net", "dns", "set", "--form", "three", "1.1.1.1", "", "", "4.4.4.4"},
                  "SERVERS: at most three servers",
                  "qelctl net dns set"},
        UsageCase{{"net", "dns", "set", "--form", "one", "1.1.1.1", "2.2.2.2"},
                  "SERVERS: the one-server form takes one address",
                  "qelctl net dns set"},
        UsageCase{{"net", "dns", "--numeric", "set", "--form", "three", "1", "0x100000000"},
                  "server 2: '0x100000000'" + kNotANumber,
                  "qelctl net dns set"},
        UsageCase{{"platform", "power-level", "set", "high"},
                  "Could not convert: VALUE = high",
                  "qelctl platform power-level set"},
        UsageCase{{"platform", "action", "1", "--option", "256"},
                  "--option: Value 256 not in range 0 to 255",
                  "qelctl platform action"},
        UsageCase{{"sensor", "thresholds", "set", "x", "1", "2", "3"},
                  "THRESHOLDS: At least 4 required but received 3",
                  "qelctl sensor thresholds set"},
        UsageCase{{"--json", "--quiet", "product"}, "--json excludes --quiet", "qelctl product"},
        UsageCase{{"sensor", "watch", "x", "--json"},
                  "--count: sensor watch --json needs --count",
                  "qelctl sensor watch"}));

TEST(HelpTest, DocumentsCommandsAndExitStatuses) {
  const Outcome top = runLine({"--help"});
  EXPECT_EQ(top.status, 0);
  for (const char *word : {"--host", "--program", "--json", "--quiet", "sensor", "net", "platform",
                           "64  the command line is wrong"}) {
    EXPECT_NE(top.out.find(word), std::string::npos) << word;
  }
  const Outcome ip = runLine({"net", "ip", "set", "--help"});
  EXPECT_EQ(ip.status, 0);
  for (const char *word :
       {"IFACE", "--address", "--netmask", "--gateway", "--dhcp", "--selector", "--numeric"}) {
    EXPECT_NE(ip.out.find(word), std::string::npos) << word;
  }
  for (std::vector<const char *> line :
       {std::vector{"net", "dns", "--help"}, std::vector{"net", "dns", "set", "--help"}}) {
    const Outcome dns = runLine(line);
    EXPECT_EQ(dns.status, 0);
    EXPECT_NE(dns.out.find("--form TEXT:{three,one,text}"), std::string::npos) << dns.out;
    EXPECT_NE(dns.out.find("--numeric"), std::string::npos) << dns.out;
  }
}

std::string readFile(const char *path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every command of the tree, with its options and subcommands, visited depth first.
void visit(const CLI::App &app, const std::function<void(const CLI::App &)> &each) {
  each(app);
  for (const CLI::App *sub : app.get_subcommands([](const CLI::App *) { return true; })) {
    visit(*sub, each);
  }
}

std::vector<std::string> longOptions(const CLI::App &app) {
  std::vector<std::string> names;
  for (const CLI::Option *option : app.get_options()) {
    for (const auto &name : option->get_lnames()) {
      if (name != "help") names.push_back("--" + name);
    }
  }
  return names;
}

class DocumentationTest : public ::testing::Test {
 protected:
  DocumentationTest() { addCommands(app_, options_, table_); }

  GlobalOptions options_;
  CommandTable table_;
  CLI::App app_{"", "qelctl"};
};

TEST_F(DocumentationTest, CompletionKnowsEveryCommandAndOption) {
  const std::string script = readFile(QELCTL_COMPLETION);
  ASSERT_FALSE(script.empty());
  std::size_t commands = 0;
  visit(app_, [&](const CLI::App &app) {
    const std::string path = commandPath(app);
    std::smatch entry;
    // Bash keys cannot be empty: the top level is under "qelctl".
    const std::string key = path.empty() ? "qelctl" : path;
    const std::regex pattern("\\[\"" + key + "\"\\]=\"([^\"]*)\"");
    ASSERT_TRUE(std::regex_search(script, entry, pattern)) << "no entry for '" << path << "'";
    const std::string words = " " + entry[1].str() + " ";
    for (const auto &option : longOptions(app)) {
      EXPECT_NE(words.find(" " + option + " "), std::string::npos) << path << ": " << option;
    }
    for (const CLI::App *sub : app.get_subcommands([](const CLI::App *) { return true; })) {
      EXPECT_NE(words.find(" " + sub->get_name() + " "), std::string::npos)
          << path << ": " << sub->get_name();
    }
    ++commands;
  });
  EXPECT_GT(commands, 60u);
}

TEST_F(DocumentationTest, ManPageNamesEveryCommandAndOption) {
  std::string page = readFile(QELCTL_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
  page = std::regex_replace(page, std::regex(R"(\\f[BIR])"), "");
  page = std::regex_replace(page, std::regex(R"(\[get\] )"), "");
  visit(app_, [&](const CLI::App &app) {
    const std::string path = commandPath(app);
    // The get verb of a setting is documented with the setting, as "[get]".
    if (app.get_name() != "get") {
      EXPECT_NE(page.find(path), std::string::npos) << "man page lacks '" << path << "'";
    }
    for (const auto &option : longOptions(app)) {
      EXPECT_NE(page.find(option), std::string::npos) << path << ": " << option;
    }
  });
}

}  // namespace
}  // namespace qel::cli

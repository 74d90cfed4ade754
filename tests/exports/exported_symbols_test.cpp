// The library's dynamic symbol table holds exactly the published C names.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

std::set<std::string> definedDynamicSymbols(const std::string &library) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only --format=posix '" + library + "'";
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[512];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string entry(line);
    std::string name = entry.substr(0, entry.find(' '));
    if (const auto at = name.find('@'); at != std::string::npos) name.resize(at);
    names.insert(name);
  }
  pclose(pipe);
  return names;
}

std::set<std::string> publishedNames() {
  std::set<std::string> names;
  std::ifstream list(QEL_EXPORTED_SYMBOLS_FILE);
  for (std::string name; std::getline(list, name);) {
    if (!name.empty()) names.insert(name);
  }
  return names;
}

TEST(ExportedSymbols, ExactlyThePublishedNames) {
  const std::set<std::string> published = publishedNames();
  ASSERT_EQ(published.size(), 138u) << "48 stubs, 24 codecs, 58 operations, 5 connection "
                                       "functions and 3 data symbols";
  const std::set<std::string> exported = definedDynamicSymbols(QEL_LIBRARY_FILE);
  for (const std::string &name : published) {
    EXPECT_TRUE(exported.count(name)) << "missing: " << name;
  }
  for (const std::string &name : exported) {
    EXPECT_TRUE(published.count(name)) << "exported but not published: " << name;
  }
}

}  // namespace

// SPDX-License-Identifier: Apache-2.0
// The product name end to end, and empty texts of the admin reads. This program defines fopen
// itself; being the program, its definition serves the library's call too and turns the map's fixed
// path into a file of the test's own, so no map of the machine is read and no privilege is needed.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "server_test.hpp"

namespace {

const std::string kMap = testing::TempDir() + "prod_id_map_" + std::to_string(getpid());

FILE *redirected(const char *name, const char *path, const char *mode) {
  using Open = FILE *(*)(const char *, const char *);
  const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, name));
  return real(std::strcmp(path, "/usr/local/config/prod_id_map") == 0 ? kMap.c_str() : path, mode);
}

}  // namespace

extern "C" FILE *fopen(const char *path, const char *mode) {
  return redirected("fopen", path, mode);
}
extern "C" FILE *fopen64(const char *path, const char *mode) {
  return redirected("fopen64", path, mode);
}

namespace qel::test {
namespace {

Reply reading(float value, int32_t errorCode = 0) {
  return Reply::record(xdr_rpc_FloatAndEC, rpc_FloatAndEC{errorCode, value});
}

struct Case {
  const char *name;
  std::optional<std::string> map;  // nothing: there is no map
  Reply sensor;
  unsigned int result;
  std::string product;  // "untouched": the output is left as it was
  std::size_t reads;    // of the sensor, which must be "product-id"
};

const std::string k127 = "10|" + std::string(124, 'a');  // one whole read of a line
// clang-format off
const Case kCases[] = {
    {"lines without a name", "1A|\n1A\n||\n\n1A|Alpha\n", reading(26.0f), 0, "Alpha", 1},
    {"first of duplicates", "1B|Other\n1A|First\n1A|Second\n", reading(26.0f), 0, "First", 1},
    {"below the sentinel", "-12C|Minus300\n", reading(-300.5f), 0, "Minus300", 1},
    {"sentinel", "-12C|Minus300\n", reading(-300.0f), 0, "N/A", 1},
    {"long line, first piece", k127 + "1A|Tail\n", reading(16.0f), 0, k127.substr(3), 1},
    {"long line, rest alone", k127 + "1A|Tail\n", reading(26.0f), 0, "Tail", 1},
    {"no match", "1B|Beta\n1A0|Alpha0\n", reading(26.0f), 5, "untouched", 1},
    {"empty map", "", reading(26.0f), 5, "untouched", 1},
    {"missing map", {}, reading(26.0f), 18, "untouched", 0},
    {"server error", "1A|Alpha\n", reading(26.0f, 3), 24, "untouched", 1},
    {"connection dropped", "1A|Alpha\n", Reply::drop(), 24, "untouched", 1},
};
// clang-format on

using ProductIdTest = ServerTest;
using AdminTest = ServerTest;

TEST_F(ProductIdTest, NameOfTheFirstMatchingLine) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(kMap);
    if (c.map) std::ofstream(kMap) << *c.map;
    server.clearLog();
    server.answer(2006, c.sensor);
    char untouched[] = "untouched";
    char *product = untouched;
    EXPECT_EQ(qelGetProductId(&product), c.result);
    if (!c.map) {
      EXPECT_EQ(errno, ENOENT) << "the reason the open failed";
    }
    EXPECT_EQ(std::string(product != nullptr ? product : "(null)"), c.product);
    if (product != untouched) std::free(product);
    EXPECT_EQ(server.callsOf(2006).size(), c.reads);
    for (const auto &read : server.callsOf(2006))
      EXPECT_EQ(read.arguments, xdrString("product-id"));
  }
}

// Texts that arrive empty still come back as fresh heap strings of their own.
constexpr uint32_t kGetPbm = 1050, kInternalState = 4000;

TEST_F(AdminTest, EmptyTextsArriveAsFreshEmptyStrings) {
  server.answer(kGetPbm, Reply::body(words({0, 0})));
  char *pbm = nullptr;
  ASSERT_EQ(qelGetPBMString(1, &pbm), RESULT_OK);
  EXPECT_EQ(take(pbm), "");
  server.answer(kInternalState, Reply::body(xdrString("")));
  char *first = qelInternalState(), *second = qelInternalState();
  EXPECT_NE(first, second) << "a fresh copy each time";
  EXPECT_EQ(take(first), "");
  EXPECT_EQ(take(second), "");
}

}  // namespace
}  // namespace qel::test

// Test fixture: a qel-simd of its own per test, started from the built-in scenario, with the
// calling thread pointed at it through the library.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "qel.h"
#include "server/codes.hpp"
#include "simd_process.hpp"

namespace qel::test {

// The server's own result codes, as the library hands them on.
inline constexpr unsigned kNoSuchItem = simd::kNoSuchItem;
inline constexpr unsigned kBadValue = simd::kBadValue;
inline constexpr unsigned kWrongState = simd::kWrongState;

class SimdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  }
  void TearDown() override { qelDisconnect(); }

  // Takes a heap text handed out by the library.
  static std::string take(char *text) {
    std::string copy = text ? text : "(null)";
    free(text);
    return copy;
  }
  static std::string internalState() { return take(qelInternalState()); }

  SimdProcess server;
};

}  // namespace qel::test

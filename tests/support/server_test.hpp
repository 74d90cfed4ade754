// SPDX-License-Identifier: Apache-2.0
// Test fixture: a fresh scripted server per test, with the calling thread pointed at it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "qel.h"
#include "scripted_server.hpp"

namespace qel::test {

// Takes a heap text handed out by the library.
inline std::string take(char *text) {
  std::string copy = text != nullptr ? text : "(null)";
  std::free(text);
  return copy;
}

// The calling thread's handle (null when it has none).
inline CLIENT *handle() {
  return qel_once_initialized ? static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)) : nullptr;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  }
  void TearDown() override { qelDisconnect(); }
  ScriptedServer server;
};

}  // namespace qel::test

// Test fixture: a fresh scripted server per test, with the calling thread pointed at it.
#pragma once

#include <gtest/gtest.h>

#include "qel.h"
#include "scripted_server.hpp"

namespace qel::test {

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
  }
  void TearDown() override { qelDisconnect(); }

  // The calling thread's handle (null when it has none).
  static CLIENT *handle() {
    return qel_once_initialized ? static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)) : nullptr;
  }

  ScriptedServer server;
};

}  // namespace qel::test

// SPDX-License-Identifier: Apache-2.0
// A process whose thread-specific key cannot be created can never connect.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "server_test.hpp"

namespace {
bool failKeyCreation = false;
}

extern "C" int pthread_key_create(pthread_key_t *key, void (*destructor)(void *)) {
  if (failKeyCreation) return EAGAIN;
  using Create = int (*)(pthread_key_t *, void (*)(void *));
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_key_create"));
  return real(key, destructor);
}

namespace qel::test {
namespace {

TEST(KeyFailure, EveryLaterConnectionFailsWithNoResources) {
  ScriptedServer server;
  server.answer(2, Reply::integer(0));
  ASSERT_EQ(qel_once_initialized, 0) << "the key must not exist yet in this process";
  failKeyCreation = true;
  EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_NO_RESOURCES);
  failKeyCreation = false;
  // The failure is final: the once-routine does not run again.
  EXPECT_EQ(qelConnect(nullptr, server.program()), RESULT_NO_RESOURCES);
  EXPECT_EQ(qelConfigureServer(), RESULT_NO_RESOURCES);
  EXPECT_EQ(qelDisconnect(), RESULT_NOT_CONNECTED);
  EXPECT_EQ(qel_once_initialized, 0);
  EXPECT_EQ(server.callCount(), 0u);
}

}  // namespace
}  // namespace qel::test

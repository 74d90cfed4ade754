// Many client threads at once, each on its own connection, all answered correctly by the one
// server loop.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "qel.h"
#include "simd_process.hpp"

namespace qel::test {
namespace {

constexpr int kThreads = 64;
constexpr int kRounds = 10;

// One thread's work: reads whose answers the built-in scenario fixes, and one registration of
// its own that the internal state must show afterwards. Counts the wrong answers.
int clientThread(int index, std::barrier<> &start) {
  int wrong = 0;
  if (qelConnect(nullptr, 0) != RESULT_OK) return 1;
  auto *client = static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key));
  start.arrive_and_wait();
  char product[] = "product-id", board[] = "board";
  char *productId = product, *boardKey = board;
  for (int round = 0; round < kRounds; ++round) {
    rpc_FloatAndEC *value = sysgetsensorvalue_1(&productId, client);
    wrong += !value || value->errorCode != 0 || value->value != 26.0f;
    if (value) clnt_freeres(client, reinterpret_cast<xdrproc_t>(xdr_rpc_FloatAndEC), value);

    int *type = platformgettype_1(&boardKey, client);
    wrong += !type || *type != 17;

    rpc_Interface which{static_cast<unsigned>(round % 2), 0};
    rpc_IPState *ip = getip_1(&which, client);
    const char *label = round % 2 ? "sideband0" : "mgmt0";
    wrong += !ip || ip->errorCode != 0 || std::string(ip->label) != label ||
             ip->hardwareAddressCount != 6 || ip->hardwareAddress[5] != 1 + round % 2;
    if (ip) clnt_freeres(client, reinterpret_cast<xdrproc_t>(xdr_rpc_IPState), ip);
  }
  rpc_ProcessInfo process{1000 + index, static_cast<unsigned long>(index)};
  int *registered = registerpid_1(&process, client);
  wrong += !registered || *registered != 0;
  qelDisconnect();
  return wrong;
}

TEST(SimdConcurrency, SixtyFourClientThreadsGetCorrectAnswers) {
  SimdProcess server;
  ASSERT_TRUE(server.start());
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);

  std::barrier start(kThreads);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] { wrong += clientThread(i, start); });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);

  char **state = internalstate_1(nullptr, static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)));
  ASSERT_NE(state, nullptr);
  const std::string text = *state;
  clnt_freeres(static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)),
               reinterpret_cast<xdrproc_t>(xdr_wrapstring), reinterpret_cast<char *>(state));
  for (int i = 0; i < kThreads; ++i) {
    const std::string entry = " " + std::to_string(1000 + i) + "/" + std::to_string(i);
    EXPECT_NE(text.find(entry), std::string::npos) << entry;
  }
  qelDisconnect();
}

}  // namespace
}  // namespace qel::test

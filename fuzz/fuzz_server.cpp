// SPDX-License-Identifier: Apache-2.0
#include "fuzz_server.hpp"

#include <cstdlib>

#include "qel.h"

// The scripted server registers with pmap_set, which leaks inside libtirpc: the suppressions
// recognise it on full stacks only, which the fast unwinder cannot walk through libtirpc.
extern "C" const char *__asan_default_options() { return "fast_unwind_on_malloc=0"; }

namespace qel::fuzz {

CLIENT *threadHandle() { return static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key)); }

test::ScriptedServer &fuzzServer() {
  static test::ScriptedServer *server = [] {
    auto *created = new test::ScriptedServer;
    created->keepLog(false);
    if (qelConnect("127.0.0.1", created->program()) != RESULT_OK) std::abort();
    return created;
  }();
  if (qelConnect(nullptr, 0) != RESULT_OK) std::abort();
  timeval oneSecond{1, 0};
  clnt_control(threadHandle(), CLSET_TIMEOUT, reinterpret_cast<char *>(&oneSecond));
  return *server;
}

}  // namespace qel::fuzz

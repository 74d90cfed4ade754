// SPDX-License-Identifier: Apache-2.0
// Arbitrary text as a list of DNS servers. It is sent (0, exactly one call, its servers present
// from the first on) or rejected with 4 or 26 before anything is sent.
#include <cstdlib>
#include <string>

#include "fuzz_server.hpp"
#include "qel.h"

namespace {

constexpr uint32_t kSetDns = 1023;

bool presentFromTheFirst(const rpc_DNSState &sent) {
  const bool valid[] = {sent.server1Valid != 0, sent.server2Valid != 0, sent.server3Valid != 0};
  return (valid[0] || !valid[1]) && (valid[1] || !valid[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  qel::test::ScriptedServer &server = qel::fuzz::fuzzServer();
  server.keepLog(true);
  server.clearLog();
  server.answer(kSetDns, qel::test::Reply::integer(0));

  const unsigned int result = qelSetDNS_Str(0, text.c_str(), "fuzz");
  const auto calls = server.callsOf(kSetDns);
  switch (result) {
    case RESULT_OK: {
      if (calls.size() != 1) std::abort();
      const auto sent = qel::test::decode(xdr_rpc_DNSState, calls[0].arguments);
      if (!sent.ok || !presentFromTheFirst(sent.value)) std::abort();
      break;
    }
    case RESULT_INVALID_ARGUMENT:
    case RESULT_TOO_MANY_VALUES:
      if (!calls.empty()) std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}

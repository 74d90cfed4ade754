// SPDX-License-Identifier: Apache-2.0
// What a program written against libtirpc directly does for the calls the benchmark times:
// one handle per thread from clnt_create, clnt_call, the reply decoded into the caller's own
// memory. `held` calls hold SIGPIPE back around the call exactly as the library does.
#pragma once

#include <rpc/rpc.h>

namespace qel::bench {

inline constexpr rpcproc_t kPlatformGetState = 1001;
inline constexpr rpcproc_t kSensorValuesXml = 2002;

class RawClient {
 public:
  explicit RawClient(rpcprog_t program);
  ~RawClient();
  RawClient(const RawClient &) = delete;
  RawClient &operator=(const RawClient &) = delete;

  bool ready() const { return clnt_ != nullptr; }
  int fd() const;

  // The platform state into an int of the caller's.
  bool smallCall(bool held);
  // The XML sensor report into a heap text that the caller then frees, as a library caller does.
  bool report(bool held);

 private:
  CLIENT *clnt_;
};

// The library's handle of the calling thread (null before its first call).
CLIENT *libraryHandle();

}  // namespace qel::bench

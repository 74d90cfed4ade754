// SPDX-License-Identifier: Apache-2.0
// A request's calls of the library. The worker thread's connection goes to the one SP the
// service was started for, and every call waits no longer than what is left of the request's
// time: a hung SP gives 503 with Retry-After before any client gives up. A library failure to
// reach the SP is always 503; codes of the management server's own are the caller's to read,
// or Failures through `must`.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "redfish/http/message.hpp"
#include "simulator/model/codes.hpp"

namespace qel::redfish {

struct SpTarget {
  std::string host;  // lives as long as the service: the library keeps it by reference
  unsigned long program = 0;
  std::chrono::milliseconds budget{5000};  // what one request may spend on calls
};

inline constexpr int kRetryAfterSeconds = 5;

class SpLink {
 public:
  SpLink(const SpTarget &target, std::chrono::steady_clock::time_point deadline)
      : target_(target), deadline_(deadline) {}

  // Runs one library operation (returning its result code): the management server's code, or
  // 0. Throws 503 when the SP cannot be reached or gives no reply in time.
  template <typename Op>
  unsigned call(Op &&op) {
    prepare();
    return checked(op());
  }
  // `call`, and any code but 0 throws: 404 ResourceNotFound(type, id) for the server's "no
  // such" code, 500 for any other.
  template <typename Op>
  void must(Op &&op, std::string_view type = "", std::string_view id = "") {
    if (const unsigned code = call(op)) throw readFailure(code, type, id);
  }

  // A change the server refused with `code`: the message for property `property` given
  // `value`, or for an action's `parameter`.
  static Json propertyRefusal(unsigned code, std::string_view property, std::string_view value);
  static Failure actionRefusal(unsigned code, std::string_view action, std::string_view value);
  static Failure readFailure(unsigned code, std::string_view type, std::string_view id);
  static Failure unavailable();

 private:
  void prepare();
  unsigned checked(unsigned code);

  const SpTarget &target_;
  std::chrono::steady_clock::time_point deadline_;
};

// The management server's own codes, as qel-simd answers them (qel-simd(8)).
inline constexpr unsigned kCodeNoReading = simd::kUnavailable, kCodeNoSuch = simd::kNoSuchItem,
                          kCodeBadValue = simd::kBadValue, kCodeWrongState = simd::kWrongState;

}  // namespace qel::redfish

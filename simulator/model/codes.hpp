// SPDX-License-Identifier: Apache-2.0
// The server's own result codes. They share one number space with the library's codes, so
// they stay clear of the numbers the library produces itself.
#pragma once

#include "lib/protocol/server_contract.hpp"

namespace qel::simd {

enum Code : int {
  kOk = 0,
  kUnavailable = kValueNotTaken,  // the sensor has no reading; the library turns this into 5
  kNoSuchItem = 16,               // unknown interface, selector, sensor, component, VRM or PBM slot
  kBadValue = 17,                 // a value out of range or a text that does not parse
  kWrongState = 19,               // the request does not fit the platform's present state
};

}  // namespace qel::simd

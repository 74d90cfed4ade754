// SPDX-License-Identifier: Apache-2.0
// The management procedures by name, as the control channel and the request trace call them:
// the names of the procedure table ("PlatformGetState", "SysGetSensorValue").
#pragma once

#include <rpc/rpc.h>

#include <optional>
#include <string>
#include <string_view>

namespace qel::simd {

// The name of procedure `number`, or its number in decimal when it is not a management one.
std::string procedureName(rpcproc_t number);
// A management procedure named by its name (any letter case) or its decimal number.
std::optional<rpcproc_t> procedureNumber(std::string_view nameOrNumber);

}  // namespace qel::simd

// SPDX-License-Identifier: Apache-2.0
// Entity tags. A resource's tag covers what a client can change, not what changes by itself
// (readings, status, power state, the clock), so that a client's GET-then-PATCH with If-Match
// is not refused because a fan turned faster in between.
#pragma once

#include <string>

#include "redfish/http/message.hpp"

namespace qel::redfish {

// A strong tag in RFC 7232's form: a quoted hexadecimal digest.
std::string etagOf(const Json &payload);

// Whether an If-Match or If-None-Match field ("*", or tags separated by commas, weak ones
// included as they are written) names `etag`.
bool listsEtag(const std::string &field, const std::string &etag);

}  // namespace qel::redfish

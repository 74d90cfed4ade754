// SPDX-License-Identifier: Apache-2.0
// A request target of the origin form ("/path?query"), split and percent-decoded.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::http {

using Parameters = std::vector<std::pair<std::string, std::string>>;

// The decoded path and query parameters ('+' as a space) of `target`; false when the target
// does not start with '/', holds a '#', a byte outside visible ASCII or a bad escape, or
// decodes to a NUL anywhere.
bool splitTarget(std::string_view target, std::string &path, Parameters &parameters);

}  // namespace qel::http

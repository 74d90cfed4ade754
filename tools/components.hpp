// SPDX-License-Identifier: Apache-2.0
// The platform's components as the presence report names them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel::tools {

// The names of a presence report (qelSysGetPresenceDetectAll), one component a line,
// "NAME: present"; lines without a name are skipped.
std::vector<std::string> componentNames(std::string_view report);

}  // namespace qel::tools

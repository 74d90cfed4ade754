// SPDX-License-Identifier: Apache-2.0
// qel-redfishd --add-account NAME --role ROLE: the way in for the first administrator, on the
// SP itself. The password comes from standard input (asked for twice, unechoed, at a terminal).
#pragma once

#include "redfish/options.hpp"

namespace qel::redfish {

// Adds the account: 0 when added, 1 otherwise (the reason on standard error).
int addAccount(const Settings &settings);

}  // namespace qel::redfish

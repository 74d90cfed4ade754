// SPDX-License-Identifier: Apache-2.0
// Texts the library hands out for the caller to free(), taken over as strings.
#pragma once

#include <string>
#include <vector>

namespace qel::tools {

// The text ("" for null); `text` is freed.
std::string takenText(char *text);

// The `count` texts of `list` (as qelGetSensorList gives them); each text and then the list are
// freed.
std::vector<std::string> takenTexts(char **list, unsigned count);

}  // namespace qel::tools

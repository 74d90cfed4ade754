// SPDX-License-Identifier: Apache-2.0
// How the tools show a reading.
#pragma once

namespace qel::tools {

// A reading travels as a float: 52.3 arrives as 52.2999992..., whose shortest text "52.3" is
// what the server meant and what a person expects to see. The double that text reads as.
double decimalValue(float value);

}  // namespace qel::tools

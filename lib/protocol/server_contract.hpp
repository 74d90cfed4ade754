// SPDX-License-Identifier: Apache-2.0
// What the library and the management server agree on beyond the procedure table: values that
// both sides act on. The simulator answers with them; the library reads them.
#pragma once

namespace qel {

// The answer to a sensor value the server did not take. The library then reads the sensor and
// answers RESULT_NOT_AVAILABLE when it has no reading (QEL_NO_READING).
inline constexpr int kValueNotTaken = 15;

// The sensor whose reading is the product number.
inline constexpr char kProductIdSensor[] = "product-id";

}  // namespace qel

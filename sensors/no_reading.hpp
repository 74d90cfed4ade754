// The reading a sensor gives when it has no value to offer.
#pragma once

namespace qel {

inline constexpr float kNoReading = -300.0f;

}  // namespace qel

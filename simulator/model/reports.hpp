// SPDX-License-Identifier: Apache-2.0
// The XML and ASCII reports of the sensor report procedures, generated from the SP's state.
#pragma once

#include <string>
#include <string_view>

#include "simulator/model/sp_state.hpp"

namespace qel::simd {

std::string sensorValuesXml(const SpState &state);
std::string sensorValuesAscii(const SpState &state);
// These answer kNoSuchItem for an unknown component.
int componentValuesXml(const SpState &state, std::string_view component, std::string &out);
int componentValuesAscii(const SpState &state, std::string_view component, std::string &out);
// Environmental sensors (temperatures, fans, power and current) of one component, or of every
// component when the name is empty.
int environmentXml(const SpState &state, std::string_view component, std::string &out);
std::string componentStatusAll(const SpState &state);
std::string presenceAll(const SpState &state);

}  // namespace qel::simd

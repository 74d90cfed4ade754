// SPDX-License-Identifier: Apache-2.0
// Writing a MetricSet in Prometheus's text format or, when the scraper asks for it, in
// OpenMetrics.
#pragma once

#include <string>
#include <string_view>

#include "exporter/metric_set.hpp"

namespace qel::exporter {

enum class Format { kText, kOpenMetrics };

// The format an Accept header asks for: OpenMetrics when it names it (version 1.0.0, 0.0.1 or
// none) with a quality above 0 and no lower than the text format's (text/plain, text/* or */*),
// else the text format (accept_header.cpp).
Format formatFor(std::string_view accept);
const char *contentType(Format format);

void writeMetrics(const MetricSet &metrics, Format format, std::string &out);

// A sample value as both formats write it: integers without a fraction, other values in the
// shortest text that reads back as the same double, NaN, +Inf and -Inf.
std::string valueText(double value);

}  // namespace qel::exporter

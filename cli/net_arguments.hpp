// SPDX-License-Identifier: Apache-2.0
// What the net commands share: the selector option, address texts, and the addresses given on
// the command line.
#pragma once

#include <qel.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/actions.hpp"
#include "cli/argument_checks.hpp"
#include "cli/command_table.hpp"
#include "tools/address_number.hpp"

namespace qel::cli {

inline void addSelector(CLI::App &app, unsigned &selector) {
  app.add_option("--selector", selector,
                 "Configuration selector sent with the request, passed on as it is (default 0)");
}

inline Json addressText(const HeapText &text) { return text ? Json(text.get()) : Json(); }

inline std::string numberedAddress(unsigned address) {
  HeapText text;
  check(qelIPAddressToString(address, text.out()), "cannot format address");
  return textOf(text);
}

inline constexpr const char *kNumericHelp =
    "Addresses as 32-bit numbers (decimal, or hexadecimal with 0x) instead of dotted quads, "
    "exchanged through the library's numeric form";

inline constexpr const char *kNotANumber =
    " is not a 32-bit number (decimal, or hexadecimal with 0x)";

// Addresses given on the command line, each absent (not given, or "") or a value; they are
// sent as a null pointer or a pointer to the value.
class AddressSlots {
 public:
  const unsigned *at(std::size_t i) const { return values_[i] ? &*values_[i] : nullptr; }

  // Reads each given text as a number (--numeric) or as a dotted quad; one that is neither is
  // a usage error naming its option.
  static AddressSlots read(const std::vector<std::pair<std::string, std::string>> &given,
                           bool numeric) {
    AddressSlots slots;
    for (std::size_t i = 0; i < given.size() && i < slots.values_.size(); ++i) {
      const auto &[name, text] = given[i];
      if (text.empty()) continue;
      slots.values_[i] = numeric ? tools::addressNumber(text) : tools::dottedQuad(text);
      if (!slots.values_[i]) {
        throw CLI::ValidationError(name,
                                   "'" + text + "'" + (numeric ? kNotANumber : kNotADottedQuad));
      }
    }
    return slots;
  }

 private:
  std::array<std::optional<unsigned>, 3> values_;
};

}  // namespace qel::cli

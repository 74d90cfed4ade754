// SPDX-License-Identifier: Apache-2.0
// Checks that qelctl makes of its arguments by itself, declared with the options they check
// (CLI11 validators). A value that fails one is a usage error (exit status 64) that names its
// option, found while the line is read: no connection is opened and nothing is sent. Checks
// that need the whole line read (one option saying how another is read) are made through
// CommandTable::validate and throw the same errors.
#pragma once

#include <CLI/CLI.hpp>
#include <limits>
#include <string>

namespace qel::cli {

// Passes the values that `accept` takes; the error for another reads "NAME: 'value'" and then
// `problem`.
CLI::Validator accepting(bool (*accept)(const std::string &), const std::string &problem,
                         const std::string &typeName = "");

// A whole number that fits T, the type the value travels as. CLI11 alone would read a larger
// number into a wider variable, or a negative one into an unsigned long, without a word.
template <typename T>
CLI::Validator fits() {
  return CLI::Range(static_cast<long long>(std::numeric_limits<T>::min()),
                    static_cast<long long>(std::numeric_limits<T>::max()));
}

inline constexpr const char *kNotADottedQuad =
    " is not a dotted-quad address (four numbers of 0 to 255)";

// A reading or threshold: a number, and finite as a float.
CLI::Validator finiteNumber();
// A sensor identifier: 1 to 31 characters, as a sensor's description carries it.
CLI::Validator sensorId();
CLI::Validator hostName();
CLI::Validator dottedQuadAddress();

}  // namespace qel::cli

// SPDX-License-Identifier: Apache-2.0
#include "simulator/model/formats.hpp"

#include <arpa/inet.h>

#include <cctype>
#include <charconv>
#include <ctime>

#include "tools/utc_text.hpp"

namespace qel::simd {

namespace {

// Reads an unsigned decimal field of exactly `digits` characters (0 for "one or more").
std::optional<unsigned> readNumber(std::string_view &text, std::size_t digits, int base = 10) {
  unsigned value = 0;
  const char *end = text.data() + (digits == 0 ? text.size() : std::min(digits, text.size()));
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  const auto used = static_cast<std::size_t>(ptr - text.data());
  if (ec != std::errc() || used == 0 || (digits != 0 && used != digits)) return std::nullopt;
  text.remove_prefix(used);
  return value;
}

bool take(std::string_view &text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

std::optional<uint32_t> parseAddress(std::string_view text) {
  uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && !take(text, '.')) return std::nullopt;
    if (text.size() > 1 && text.front() == '0' && text[1] != '.') return std::nullopt;
    auto part = readNumber(text, 0);
    if (!part || *part > 255) return std::nullopt;
    address = (address << 8) | *part;
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

std::string formatAddress(uint32_t address) {
  char buffer[INET_ADDRSTRLEN];
  const in_addr raw{htonl(address)};
  return inet_ntop(AF_INET, &raw, buffer, sizeof buffer);
}

std::optional<std::array<uint8_t, 6>> parseHardwareAddress(std::string_view text) {
  std::array<uint8_t, 6> address{};
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0 && !take(text, ':')) return std::nullopt;
    auto part = readNumber(text, 2, 16);
    if (!part) return std::nullopt;
    address[i] = static_cast<uint8_t>(*part);
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

std::optional<int64_t> parseDate(std::string_view text) {
  tm fields{};
  auto year = readNumber(text, 4);
  if (!year || !take(text, '-')) return std::nullopt;
  auto month = readNumber(text, 2);
  if (!month || !take(text, '-')) return std::nullopt;
  auto day = readNumber(text, 2);
  if (!day || !(take(text, ' ') || take(text, 'T'))) return std::nullopt;
  auto hour = readNumber(text, 2);
  if (!hour || !take(text, ':')) return std::nullopt;
  auto minute = readNumber(text, 2);
  if (!minute || !take(text, ':')) return std::nullopt;
  auto second = readNumber(text, 2);
  if (!second) return std::nullopt;
  if (!(text.empty() || text == " GMT" || text == " UTC" || text == "Z")) return std::nullopt;
  if (*year < 1970 || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 ||
      *minute > 59 || *second > 60) {
    return std::nullopt;
  }
  fields.tm_year = static_cast<int>(*year) - 1900;
  fields.tm_mon = static_cast<int>(*month) - 1;
  fields.tm_mday = static_cast<int>(*day);
  fields.tm_hour = static_cast<int>(*hour);
  fields.tm_min = static_cast<int>(*minute);
  fields.tm_sec = static_cast<int>(*second);
  const time_t seconds = timegm(&fields);
  // timegm normalises 31 April into 1 May; such a date is not a date.
  if (fields.tm_mday != static_cast<int>(*day)) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

std::string formatDate(int64_t secondsSinceEpoch) {
  return tools::utcText(static_cast<time_t>(secondsSinceEpoch), tools::kServerDateFormat);
}

}  // namespace qel::simd

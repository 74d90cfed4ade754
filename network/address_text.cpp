// Dotted-quad text of addresses in both directions, the date sent to the server, and the local
// clock read in UTC.
#include <cstdio>
#include <ctime>

#include "connection/call_frame.hpp"
#include "network/addresses.hpp"

using namespace qel;

namespace {

constexpr unsigned int kLargestPart = 255;
// "YYYY-MM-DD HH:MM:SS GMT" and its terminator, with room for a longer zone name.
constexpr std::size_t kDateSize = 25;

}  // namespace

void qel::formatAddress(unsigned int address, char *text) {
  std::snprintf(text, kAddressTextSize, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFFu,
                (address >> 8) & 0xFFu, address & 0xFFu);
}

extern "C" {

unsigned int qelIPAddressToString(unsigned int address, char **addressText) {
  if (addressText == nullptr) return RESULT_NULL_ARGUMENT;
  char text[kAddressTextSize];
  formatAddress(address, text);
  return copyText(text, addressText);
}

unsigned int qelStringToIPAddress(const char *addressText, unsigned int *address) {
  if (addressText == nullptr || address == nullptr) return RESULT_NULL_ARGUMENT;
  // Read wider than the parts so that a number too large for 32 bits saturates instead of
  // wrapping into a small one.
  unsigned long long part[4];
  if (std::sscanf(addressText, "%llu.%llu.%llu.%llu", &part[0], &part[1], &part[2], &part[3]) !=
      4) {
    return RESULT_INVALID_ARGUMENT;
  }
  unsigned int value = 0;
  for (const unsigned long long p : part) {
    if (p > kLargestPart) return RESULT_INVALID_ARGUMENT;
    value = (value << 8) | static_cast<unsigned int>(p);
  }
  *address = value;
  return RESULT_OK;
}

unsigned int qelSetDate(const char *date) {
  char *text = textAsGiven(date);
  return callFrame<proc::SetDate>(&text, StatusReply{});
}

unsigned int qelGetDate(char **date) {
  if (date == nullptr) return RESULT_INVALID_ARGUMENT;
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  *date = static_cast<char *>(std::malloc(kDateSize));
  if (*date == nullptr) return RESULT_NO_RESOURCES;
  // A year past 9999 does not fit; the text is then empty rather than undefined.
  if (std::strftime(*date, kDateSize, "%Y-%m-%d %T %Z", &utc) == 0) (*date)[0] = '\0';
  return RESULT_OK;
}

}  // extern "C"

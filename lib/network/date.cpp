// SPDX-License-Identifier: Apache-2.0
// The date: a text sent to the server as it is, and this machine's clock read in UTC.
#include <cstdlib>
#include <ctime>

#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

// "YYYY-MM-DD HH:MM:SS GMT" and its terminator, with room for a longer zone name.
constexpr std::size_t kDateSize = 25;

}  // namespace

extern "C" {

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

// SPDX-License-Identifier: Apache-2.0
// DNS servers and the DNS text: three numeric servers, server 1 alone, and the servers as one
// list of dotted quads.
#include <cctype>

#include "lib/frame/call_frame.hpp"
#include "lib/network/addresses.hpp"

using namespace qel;

namespace {

constexpr int kServers = 3;

void storeServer(unsigned int *out, unsigned char valid, unsigned int address) {
  if (out != nullptr) *out = valid != 0 ? address : 0;
}

bool isSeparator(char c) { return c == ' ' || c == ','; }

// The present servers (non-zero addresses) in order, joined by ", "; empty when none is.
void joinServers(const unsigned int (&servers)[kServers], char *joined) {
  joined[0] = '\0';
  for (const unsigned int address : servers) {
    if (address == 0) continue;
    if (joined[0] != '\0') std::strcat(joined, ", ");
    formatAddress(address, joined + std::strlen(joined));
  }
}

// Reads up to three addresses separated by runs of spaces and commas into slots. Each entry
// runs from where its conversion started to the next space, comma or end: a tab or newline
// belongs to the entry, so "1.1.1.1,\t 2.2.2.2" reads 2.2.2.2 twice. A fourth entry is refused
// whatever it holds.
unsigned int parseServers(const char *text, unsigned int (&slots)[kServers], int &taken) {
  taken = 0;
  for (const char *at = text != nullptr ? text : ""; *at != '\0'; ++taken) {
    if (taken == kServers) return RESULT_TOO_MANY_VALUES;
    if (const unsigned int rc = qelStringToIPAddress(at, &slots[taken])) return rc;
    // Blanks before the first address, which the conversion skipped, do not end its entry.
    while (taken == 0 && std::isspace(static_cast<unsigned char>(*at))) ++at;
    while (*at != '\0' && !isSeparator(*at)) ++at;
    while (isSeparator(*at)) ++at;
  }
  return RESULT_OK;
}

}  // namespace

extern "C" {

unsigned int qelGetDNS3(unsigned int configSelector, unsigned int *server1, unsigned int *server2,
                        unsigned int *server3, char **dnsText) {
  u_int selector = configSelector;
  return callFrame<proc::GetDNS>(&selector, RecordReply{[=](const rpc_DNSState &reply) {
    storeServer(server1, reply.server1Valid, reply.server1);
    storeServer(server2, reply.server2Valid, reply.server2);
    storeServer(server3, reply.server3Valid, reply.server3);
    return copyText(reply.dnsText, dnsText);
  }});
}

unsigned int qelGetDNS(unsigned int configSelector, unsigned int *server1, char **dnsText) {
  return qelGetDNS3(configSelector, server1, nullptr, nullptr, dnsText);
}

unsigned int qelGetDNS_Str(unsigned int configSelector, char **servers, char **dnsText) {
  unsigned int addresses[kServers] = {};
  if (const unsigned int rc =
          qelGetDNS3(configSelector, &addresses[0], &addresses[1], &addresses[2], dnsText)) {
    return rc;
  }
  if (servers == nullptr) return RESULT_OK;
  char joined[kServers * (kAddressTextSize + sizeof ", ")];
  joinServers(addresses, joined);
  if (joined[0] == '\0') {
    *servers = nullptr;
    return RESULT_OK;
  }
  return copyText(joined, servers);
}

unsigned int qelSetDNS3(unsigned int configSelector, const unsigned int *server1,
                        const unsigned int *server2, const unsigned int *server3,
                        const char *dnsText) {
  rpc_DNSState request{};
  request.configSelector = configSelector;
  requestAddress(server1, request.server1, request.server1Valid);
  requestAddress(server2, request.server2, request.server2Valid);
  requestAddress(server3, request.server3, request.server3Valid);
  request.dnsText = textOrEmpty(dnsText);
  return callFrame<proc::SetDNS>(&request, StatusReply{});
}

unsigned int qelSetDNS(unsigned int configSelector, const unsigned int *server1,
                       const char *dnsText) {
  return qelSetDNS3(configSelector, server1, nullptr, nullptr, dnsText);
}

unsigned int qelSetDNS_Str(unsigned int configSelector, const char *servers, const char *dnsText) {
  unsigned int slots[kServers] = {};
  int taken = 0;
  if (const unsigned int rc = parseServers(servers, slots, taken)) return rc;
  return qelSetDNS3(configSelector, taken > 0 ? &slots[0] : nullptr,
                    taken > 1 ? &slots[1] : nullptr, taken > 2 ? &slots[2] : nullptr, dnsText);
}

}  // extern "C"

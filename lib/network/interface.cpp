// SPDX-License-Identifier: Apache-2.0
// Address settings of one network interface, as numbers and as dotted-quad texts.
#include <algorithm>

#include "lib/frame/call_frame.hpp"
#include "lib/network/addresses.hpp"

using namespace qel;

namespace {

constexpr std::size_t kHardwareAddressSize = sizeof IPInfo{}.hardwareAddress;

unsigned int bit(unsigned char flag) { return flag != 0 ? 1u : 0u; }

void copyInfo(const rpc_IPState &reply, IPInfo &info) {
  info.enabled = bit(reply.enabled);
  info.ipAddressValid = bit(reply.ipAddressValid);
  info.netmaskValid = bit(reply.netmaskValid);
  info.gatewayValid = bit(reply.gatewayValid);
  info.dhcp = bit(reply.dhcp);
  info.ipAddress = reply.ipAddress;
  info.netmask = reply.netmask;
  info.gateway = reply.gateway;
  // A label of the full 32 characters loses its last one to the terminator.
  std::strncpy(info.label, reply.label != nullptr ? reply.label : "", sizeof info.label);
  info.label[sizeof info.label - 1] = '\0';
  // A short hardware address is copied as far as it goes; the rest reads as zeros.
  std::memset(info.hardwareAddress, 0, kHardwareAddressSize);
  const std::size_t received =
      std::min<std::size_t>(reply.hardwareAddressCount, kHardwareAddressSize);
  if (received > 0 && reply.hardwareAddress != nullptr) {
    std::memcpy(info.hardwareAddress, reply.hardwareAddress, received);
  }
}

// An address output of qelGetIP_Str: a new text when present, null when absent.
unsigned int addressOutput(bool present, unsigned int address, char **out) {
  if (out == nullptr) return RESULT_OK;
  if (!present) {
    *out = nullptr;
    return RESULT_OK;
  }
  return qelIPAddressToString(address, out);
}

unsigned int hardwareAddressOutput(const IPInfo &info, unsigned char **out) {
  if (out == nullptr) return RESULT_OK;
  *out = static_cast<unsigned char *>(std::malloc(kHardwareAddressSize));
  if (*out == nullptr) return RESULT_NO_RESOURCES;
  std::memcpy(*out, info.hardwareAddress, kHardwareAddressSize);
  return RESULT_OK;
}

// A text of qelSetIP_Str that is sent without being checked: its address when it reads as one,
// else 0.
unsigned int addressOrZero(const char *text) {
  unsigned int address = 0;
  qelStringToIPAddress(text, &address);
  return address;
}

}  // namespace

extern "C" {

unsigned int qelGetIP(unsigned int configSelector, unsigned int interfaceId, IPInfo *info) {
  rpc_Interface request{interfaceId, configSelector};
  return callFrame<proc::GetIP>(&request, RecordReply{[info](const rpc_IPState &reply) {
    if (info != nullptr) copyInfo(reply, *info);
    return RESULT_OK;
  }});
}

unsigned int qelGetIP_Str(unsigned int configSelector, unsigned int interfaceId, int *enabled,
                          int *dhcp, char **ipAddress, char **netmask, char **gateway, char **label,
                          unsigned char **hardwareAddress) {
  IPInfo info{};
  if (const unsigned int rc = qelGetIP(configSelector, interfaceId, &info)) return rc;
  if (enabled != nullptr) *enabled = static_cast<int>(info.enabled);
  if (dhcp != nullptr) *dhcp = static_cast<int>(info.dhcp);
  // Each output in turn; the first that runs out of memory leaves the later ones untouched.
  unsigned int result = addressOutput(info.ipAddressValid, info.ipAddress, ipAddress);
  if (result == RESULT_OK) result = addressOutput(info.netmaskValid, info.netmask, netmask);
  if (result == RESULT_OK) result = addressOutput(info.gatewayValid, info.gateway, gateway);
  if (result == RESULT_OK) result = copyText(info.label, label);
  if (result == RESULT_OK) result = hardwareAddressOutput(info, hardwareAddress);
  return result;
}

unsigned int qelSetIP(unsigned int configSelector, unsigned int interfaceId, unsigned char enabled,
                      int dhcp, const unsigned int *ipAddress, const unsigned int *netmask,
                      const unsigned int *gateway, const char *requestText) {
  rpc_IPState request{};
  request.interface = {interfaceId, configSelector};
  request.enabled = enabled;
  request.dhcp = dhcp != 0 ? 1 : 0;
  // An automatic interface carries no addresses, whatever pointers were given.
  if (request.dhcp == 0) {
    requestAddress(ipAddress, request.ipAddress, request.ipAddressValid);
    requestAddress(netmask, request.netmask, request.netmaskValid);
    requestAddress(gateway, request.gateway, request.gatewayValid);
    // The address 0.0.0.0 is how a caller switches the interface off.
    if (request.ipAddressValid != 0 && request.ipAddress == 0) request.enabled = 0;
  }
  request.label = textOrEmpty(nullptr);
  request.requestText = textOrEmpty(requestText);
  return callFrame<proc::SetIP>(&request, StatusReply{});
}

unsigned int qelSetIP_Str(unsigned int configSelector, unsigned int interfaceId, int enabled,
                          int dhcp, const char *ipAddress, const char *netmask, const char *gateway,
                          const char *requestText) {
  const char *texts[] = {ipAddress, netmask, gateway};
  unsigned int addresses[3] = {};
  const unsigned int *given[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (texts[i] == nullptr) continue;
    // Only the addresses of an interface being configured by hand are checked.
    if (enabled != 0 && dhcp == 0) {
      if (const unsigned int rc = qelStringToIPAddress(texts[i], &addresses[i])) return rc;
    } else {
      addresses[i] = addressOrZero(texts[i]);
    }
    given[i] = &addresses[i];
  }
  return qelSetIP(configSelector, interfaceId, static_cast<unsigned char>(enabled), dhcp, given[0],
                  given[1], given[2], requestText);
}

}  // extern "C"

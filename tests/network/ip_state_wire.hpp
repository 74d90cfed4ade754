// Reply bytes of an address read, including ones no correct server would send (a long label,
// too many hardware address bytes, flags outside 0 and 1).
#pragma once

#include <string>
#include <vector>

#include "xdr_bytes.hpp"

namespace qel::test {

struct IPStateWire {
  uint32_t interfaceId = 1;
  uint32_t configSelector = 0;
  int32_t errorCode = 0;
  uint32_t ipAddress = 0x0A000002;
  uint32_t netmask = 0xFFFFFF00;
  uint32_t gateway = 0x0A000001;
  uint32_t enabled = 1;
  uint32_t ipAddressValid = 1;
  uint32_t netmaskValid = 1;
  uint32_t gatewayValid = 1;
  uint32_t dhcp = 0;
  std::string label = "eth0";
  std::vector<uint32_t> hardware{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};  // count is its size
  std::string requestText;

  Bytes bytes() const {
    Bytes hardwareWords = words({static_cast<uint32_t>(hardware.size())});
    for (uint32_t b : hardware) hardwareWords = concat({hardwareWords, words({b})});
    return concat(
        {words({interfaceId, configSelector, static_cast<uint32_t>(errorCode), ipAddress, netmask,
                gateway, enabled, ipAddressValid, netmaskValid, gatewayValid, dhcp}),
         xdrString(label), hardwareWords, xdrString(requestText)});
  }
};

}  // namespace qel::test

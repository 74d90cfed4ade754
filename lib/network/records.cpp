// SPDX-License-Identifier: Apache-2.0
// Network records.
#include "lib/protocol/xdr_codec.hpp"

using namespace qel;

namespace {
constexpr u_int kLabelMaximum = 32;
constexpr u_int kHardwareAddressMaximum = 6;
}  // namespace

extern "C" {

bool_t xdr_rpc_Interface(XDR *xdrs, rpc_Interface *record) {
  return xdr_u_int(xdrs, &record->interfaceId) && xdr_u_int(xdrs, &record->configSelector);
}

bool_t xdr_rpc_IPState(XDR *xdrs, rpc_IPState *record) {
  return xdr_rpc_Interface(xdrs, &record->interface) &&
         xdrWords(xdrs, &record->errorCode, &record->ipAddress, &record->netmask,
                  &record->gateway) &&
         xdr_u_char(xdrs, &record->enabled) && xdr_u_char(xdrs, &record->ipAddressValid) &&
         xdr_u_char(xdrs, &record->netmaskValid) && xdr_u_char(xdrs, &record->gatewayValid) &&
         xdr_u_char(xdrs, &record->dhcp) && xdrBoundedText(xdrs, &record->label, kLabelMaximum) &&
         xdr_array(xdrs, reinterpret_cast<char **>(&record->hardwareAddress),
                   &record->hardwareAddressCount, kHardwareAddressMaximum, 1,
                   reinterpret_cast<xdrproc_t>(xdr_u_char)) &&
         xdrText(xdrs, &record->requestText);
}

bool_t xdr_rpc_DNSState(XDR *xdrs, rpc_DNSState *record) {
  return xdrWords(xdrs, &record->errorCode, &record->configSelector, &record->server1) &&
         xdr_u_char(xdrs, &record->server1Valid) && xdr_u_int(xdrs, &record->server2) &&
         xdr_u_char(xdrs, &record->server2Valid) && xdr_u_int(xdrs, &record->server3) &&
         xdr_u_char(xdrs, &record->server3Valid) && xdrText(xdrs, &record->dnsText);
}

bool_t xdr_rpc_Hostname(XDR *xdrs, rpc_Hostname *record) {
  return xdr_u_int(xdrs, &record->configSelector) && xdrText(xdrs, &record->hostname);
}

}  // extern "C"

// SPDX-License-Identifier: Apache-2.0
// Platform request records. The leading integers of each record cross the stream through one
// inline block where it grants one.
#include "lib/protocol/xdr_codec.hpp"

using namespace qel;

extern "C" {

bool_t xdr_rpc_PlatformSetAction(XDR *xdrs, rpc_PlatformSetAction *record) {
  return xdrWords(xdrs, &record->actionCode, &record->actionOption, &record->actionValue) &&
         xdrText(xdrs, &record->actionText);
}

bool_t xdr_rpc_PlatformMCEvent(XDR *xdrs, rpc_PlatformMCEvent *record) {
  return xdrWords(xdrs, &record->eventValue1, &record->eventValue2, &record->eventValue3) &&
         xdrText(xdrs, &record->eventText);
}

bool_t xdr_rpc_PlatformDimmEvent(XDR *xdrs, rpc_PlatformDimmEvent *record) {
  return xdrWords(xdrs, &record->eventValue1, &record->eventValue2, &record->eventValue3,
                  &record->eventValue4) &&
         xdrText(xdrs, &record->eventText);
}

}  // extern "C"

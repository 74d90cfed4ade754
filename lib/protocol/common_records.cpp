// SPDX-License-Identifier: Apache-2.0
// Records shared by several domains.
#include "lib/protocol/xdr_codec.hpp"

using namespace qel;

extern "C" {

bool_t xdr_rpc_StringAndEC(XDR *xdrs, rpc_StringAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdrText(xdrs, &record->text);
}

bool_t xdr_rpc_FloatAndEC(XDR *xdrs, rpc_FloatAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdr_float(xdrs, &record->value);
}

bool_t xdr_rpc_MountInfo(XDR *xdrs, rpc_MountInfo *record) {
  return xdr_int(xdrs, &record->number1) && xdrText(xdrs, &record->text1) &&
         xdrText(xdrs, &record->text2) && xdr_int(xdrs, &record->number2) &&
         xdr_u_long(xdrs, &record->unsignedNumber) && xdrText(xdrs, &record->text3) &&
         xdrText(xdrs, &record->text4);
}

}  // extern "C"

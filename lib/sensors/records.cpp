// SPDX-License-Identifier: Apache-2.0
// Sensor records and the fan debug state.
#include "lib/protocol/xdr_codec.hpp"

using namespace qel;

namespace {
constexpr u_int kGoodnessMaximum = 4;
}  // namespace

extern "C" {

bool_t xdr_rpc_SysSetSensorInfo(XDR *xdrs, rpc_SysSetSensorInfo *record) {
  return xdrText(xdrs, &record->sensorId) && xdr_float(xdrs, &record->value);
}

// Flag bytes travel as integers holding 0 to 255; decoding keeps the low 8 bits.
bool_t xdr_rpc_SysSensorThresholds(XDR *xdrs, rpc_SysSensorThresholds *record) {
  return xdr_float(xdrs, &record->threshold1) && xdr_float(xdrs, &record->threshold2) &&
         xdr_float(xdrs, &record->threshold3) && xdr_float(xdrs, &record->threshold4) &&
         xdr_u_char(xdrs, &record->thresholdFlag1) && xdr_u_char(xdrs, &record->thresholdFlag2) &&
         xdr_u_char(xdrs, &record->thresholdFlag3) && xdr_u_char(xdrs, &record->thresholdFlag4);
}

bool_t xdr_rpc_SysSetSensorThresh(XDR *xdrs, rpc_SysSetSensorThresh *record) {
  return xdrText(xdrs, &record->sensorId) && xdr_rpc_SysSensorThresholds(xdrs, &record->thresholds);
}

bool_t xdr_rpc_SysGetSensorThresh(XDR *xdrs, rpc_SysGetSensorThresh *record) {
  return xdr_int(xdrs, &record->errorCode) &&
         xdr_rpc_SysSensorThresholds(xdrs, &record->thresholds);
}

bool_t xdr_rpc_SysGetVRMGoodness(XDR *xdrs, rpc_SysGetVRMGoodness *record) {
  return xdr_int(xdrs, &record->errorCode) &&
         xdr_array(xdrs, reinterpret_cast<char **>(&record->goodness), &record->goodnessCount,
                   kGoodnessMaximum, sizeof(int), reinterpret_cast<xdrproc_t>(xdr_int));
}

bool_t xdr_rpc_SensorInfo(XDR *xdrs, rpc_SensorInfo *record) {
  return xdr_int(xdrs, &record->errorCode) && xdrText(xdrs, &record->text1) &&
         xdrText(xdrs, &record->text2) && xdrText(xdrs, &record->text3) &&
         xdrText(xdrs, &record->text4) && xdrText(xdrs, &record->text5) &&
         xdrText(xdrs, &record->text6) && xdrText(xdrs, &record->text7) &&
         xdr_int(xdrs, &record->intValue1) && xdr_int(xdrs, &record->intValue2) &&
         xdr_float(xdrs, &record->realValue1) && xdr_float(xdrs, &record->realValue2) &&
         xdr_float(xdrs, &record->realValue3) && xdr_int(xdrs, &record->intValue3) &&
         xdr_int(xdrs, &record->intValue4) && xdr_int(xdrs, &record->intValue5);
}

bool_t xdr_rpc_SensorList(XDR *xdrs, rpc_SensorList *record) {
  return xdr_int(xdrs, &record->selector1) && xdr_int(xdrs, &record->selector2);
}

bool_t xdr_rpc_SensorListIDList(XDR *xdrs, rpc_SensorListIDList *record) {
  return xdrText(xdrs, &record->sensorId);
}

bool_t xdr_rpc_SensorListReturn(XDR *xdrs, rpc_SensorListReturn *record) {
  return xdr_int(xdrs, &record->errorCode) &&
         xdrUnboundedArray(xdrs, &record->sensorIds, &record->sensorIdCount,
                           xdr_rpc_SensorListIDList);
}

// The whole record is one block of 26 integers.
bool_t xdr_rpc_FanDebugState(XDR *xdrs, rpc_FanDebugState *record) {
  return xdrWords(xdrs, &record->errorCode, &record->debugValue1, &record->debugValue2,
                  &record->debugValue3, &record->debugValue4, &record->debugValue5,
                  &record->debugValue6, &record->debugValue7, &record->debugValue8,
                  &record->entryCount, &record->entries);
}

}  // extern "C"

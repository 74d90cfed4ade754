// SPDX-License-Identifier: Apache-2.0
// Single sensors: reading and setting a value, the four thresholds, and the VRM goodness values.
#include "lib/frame/call_frame.hpp"
#include "lib/protocol/server_contract.hpp"

using namespace qel;

namespace {

// Reads the sensor on clnt outside the frame: true only for a reply with errorCode 0 carrying
// the no-value reading. A read that fails is no verdict, and it leaves the handle open.
bool readsNoValue(CLIENT *clnt, char **sensorId) {
  bool noValue = false;
  withReply<proc::SysGetSensorValue>(clnt, sensorId, [&](const rpc_FloatAndEC &reply) {
    noValue = reply.errorCode == 0 && reply.value == QEL_NO_READING;
  });
  return noValue;
}

// Only the low 8 bits of a caller's flag travel.
rpc_SysSensorThresholds toWire(const SensorThresholds &t) {
  return {t.threshold1,
          t.threshold2,
          t.threshold3,
          t.threshold4,
          static_cast<unsigned char>(t.thresholdFlag1),
          static_cast<unsigned char>(t.thresholdFlag2),
          static_cast<unsigned char>(t.thresholdFlag3),
          static_cast<unsigned char>(t.thresholdFlag4)};
}

SensorThresholds fromWire(const rpc_SysSensorThresholds &t) {
  return {t.thresholdFlag1, t.thresholdFlag2, t.thresholdFlag3, t.thresholdFlag4,
          t.threshold1,     t.threshold2,     t.threshold3,     t.threshold4};
}

}  // namespace

extern "C" {

unsigned int qelSysGetSensorValue(const char *sensorId, float *value) {
  char *id = textAsGiven(sensorId);
  return callFrame<proc::SysGetSensorValue>(&id, FloatReply{value});
}

unsigned int qelSysSetSensorValue(const char *sensorId, float value) {
  rpc_SysSetSensorInfo request{textAsGiven(sensorId), value};
  return callFrame<proc::SysSetSensorValue>(&request, [&](int reply) {
    if (reply == kValueNotTaken && readsNoValue(threadHandle(), &request.sensorId)) {
      return RESULT_NOT_AVAILABLE;
    }
    return StatusReply{}(reply);
  });
}

// Unlike a value, thresholds are never sent to a sensor that reads as having no value.
unsigned int qelSysSetSensorThresholds(const char *sensorId, const SensorThresholds *thresholds) {
  rpc_SysSetSensorThresh request{textAsGiven(sensorId), toWire(*thresholds)};
  CLIENT *clnt = nullptr;
  if (const unsigned int rc = connectionStep(&clnt)) return rc;
  if (readsNoValue(clnt, &request.sensorId)) return RESULT_NOT_AVAILABLE;
  return callFrame<proc::SysSetSensorThresholds>(&request, StatusReply{});
}

unsigned int qelSysGetSensorThresholds(const char *sensorId, SensorThresholds *thresholds) {
  char *id = textAsGiven(sensorId);
  const auto copy = [&](const rpc_SysGetSensorThresh &reply) {
    *thresholds = fromWire(reply.thresholds);
    return RESULT_OK;
  };
  return callFrame<proc::SysGetSensorThresholds>(&id, RecordReply{copy});
}

unsigned int qelSysGetVRMGoodness(int vrmSelector, unsigned int count, int *values) {
  const auto copy = [&](const rpc_SysGetVRMGoodness &reply) {
    for (unsigned int i = 0; i < count; ++i) {
      values[i] = i < reply.goodnessCount ? reply.goodness[i] : 0;
    }
    return RESULT_OK;
  };
  return callFrame<proc::SysGetVRMGoodness>(&vrmSelector, RecordReply{copy});
}

}  // extern "C"

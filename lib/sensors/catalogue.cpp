// SPDX-License-Identifier: Apache-2.0
// The server's catalogue of sensors: the identifiers it lists and the description of one.
#include <cstdlib>
#include <cstring>

#include "lib/frame/call_frame.hpp"

using namespace qel;

namespace {

// Fills the whole field, NUL-padded; a longer text is cut to the field size less one.
template <std::size_t N>
void copyBounded(char (&field)[N], const char *text) {
  std::strncpy(field, text != nullptr ? text : "", N);
  field[N - 1] = '\0';
}

void releaseIds(char **ids, unsigned int made) {
  while (made > 0) std::free(ids[--made]);
  std::free(ids);
}

// Caller-owned copies of the listed identifiers. Either all of them are made, or everything
// made so far is released and neither output is written.
unsigned int copyIds(const rpc_SensorListReturn &reply, unsigned int *idCount, char ***idList) {
  // Never a zero-sized request: an empty list is still an array the caller frees. The count
  // times the pointer size is checked for overflow, which a 32-bit host can reach.
  const std::size_t room = reply.sensorIdCount > 0 ? reply.sensorIdCount : 1;
  auto **ids = static_cast<char **>(reallocarray(nullptr, room, sizeof(char *)));
  if (ids == nullptr) return RESULT_NO_RESOURCES;
  for (unsigned int i = 0; i < reply.sensorIdCount; ++i) {
    const char *id = reply.sensorIds[i].sensorId;
    ids[i] = strdup(id != nullptr ? id : "");
    if (ids[i] == nullptr) {
      releaseIds(ids, i);
      return RESULT_NO_RESOURCES;
    }
  }
  *idList = ids;
  *idCount = reply.sensorIdCount;
  return RESULT_OK;
}

}  // namespace

extern "C" {

unsigned int qelGetSensorInfo(const char *sensorId, SensorInfo *info) {
  char *id = textAsGiven(sensorId);
  return callFrame<proc::GetSensorInfo>(&id, RecordReply{[&](const rpc_SensorInfo &reply) {
    copyBounded(info->text1, reply.text1);
    copyBounded(info->text2, reply.text2);
    copyBounded(info->text3, reply.text3);
    copyBounded(info->text4, reply.text4);
    copyBounded(info->text5, reply.text5);
    copyBounded(info->text6, reply.text6);
    copyBounded(info->text7, reply.text7);
    info->intValue1 = reply.intValue1;
    info->intValue2 = reply.intValue2;
    info->realValue1 = reply.realValue1;
    info->realValue2 = reply.realValue2;
    info->realValue3 = reply.realValue3;
    info->intValue3 = reply.intValue3;
    info->intValue4 = reply.intValue4;
    info->intValue5 = reply.intValue5;
    return RESULT_OK;
  }});
}

unsigned int qelGetSensorList(int selector1, int selector2, unsigned int *idCount, char ***idList) {
  if (idCount == nullptr || idList == nullptr) return RESULT_INVALID_ARGUMENT;
  rpc_SensorList request{selector1, selector2};
  return callFrame<proc::GetSensorList>(&request, RecordReply{[&](const rpc_SensorListReturn &r) {
    return copyIds(r, idCount, idList);
  }});
}

}  // extern "C"

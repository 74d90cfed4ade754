// SPDX-License-Identifier: Apache-2.0
// Wire replies that point into strings and arrays: each holder owns what its record points at
// until the reply has been sent, and wire() hands out the record ready to encode.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "qel.h"

namespace qel::simd {

struct TextHolder {
  int code = 0;
  std::string text;
  rpc_StringAndEC record{};
  rpc_StringAndEC *wire() {
    record = {code, text.data()};
    return &record;
  }
};

struct BareTextHolder {
  std::string text;
  char *pointer = nullptr;
  char **wire() {
    pointer = text.data();
    return &pointer;
  }
};

struct InterfaceReply {
  rpc_IPState record{};
  std::string label;
  std::array<unsigned char, 6> hardwareAddress{};
  std::string requestText;
  rpc_IPState *wire() {
    record.label = label.data();
    record.hardwareAddressCount = record.errorCode == 0 ? hardwareAddress.size() : 0;
    record.hardwareAddress = hardwareAddress.data();
    record.requestText = requestText.data();
    return &record;
  }
};

struct DnsReply {
  rpc_DNSState record{};
  std::string text;
  rpc_DNSState *wire() {
    record.dnsText = text.data();
    return &record;
  }
};

struct SensorInfoReply {
  rpc_SensorInfo record{};
  std::array<std::string, 7> texts;
  rpc_SensorInfo *wire() {
    char **fields[] = {&record.text1, &record.text2, &record.text3, &record.text4,
                       &record.text5, &record.text6, &record.text7};
    for (std::size_t i = 0; i < texts.size(); ++i) *fields[i] = texts[i].data();
    return &record;
  }
};

struct SensorListReply {
  rpc_SensorListReturn record{};
  std::vector<std::string> ids;
  std::vector<rpc_SensorListIDList> entries;
  rpc_SensorListReturn *wire() {
    entries.clear();
    for (std::string &id : ids) entries.push_back({id.data()});
    record.sensorIdCount = static_cast<unsigned>(entries.size());
    record.sensorIds = entries.data();
    return &record;
  }
};

struct GoodnessReply {
  rpc_SysGetVRMGoodness record{};
  std::vector<int> values;
  rpc_SysGetVRMGoodness *wire() {
    record.goodnessCount = static_cast<unsigned>(values.size());
    record.goodness = values.data();
    return &record;
  }
};

}  // namespace qel::simd

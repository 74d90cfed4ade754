// SPDX-License-Identifier: Apache-2.0
// One interface's addresses, read and written numerically and as dotted-quad texts, and the
// reset to default settings with the timeout it leaves on the thread's handle.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "server_test.hpp"

namespace qel::test {
namespace {

using InterfaceTest = ServerTest;
constexpr uint32_t kGetIP = 1020, kSetIP = 1021;

// A reply for interface 1: 10.0.0.2/255.255.255.0 through 10.0.0.1, with these flags, label
// and hardware address bytes.
struct Wire {
  uint32_t flags[5] = {1, 1, 1, 1, 0};  // enabled, address, netmask and gateway valid, dhcp
  std::string label = "eth0";
  std::vector<uint32_t> hardware{0, 0x11, 0x22, 0x33, 0x44, 0x55};
  Bytes bytes() const {
    const uint32_t *f = flags;
    Bytes b =
        concat({words({1, 0, 0, 0x0A000002, 0xFFFFFF00, 0x0A000001, f[0], f[1], f[2], f[3], f[4]}),
                xdrString(label), words({static_cast<uint32_t>(hardware.size())})});
    for (uint32_t byte : hardware) b = concat({b, words({byte})});
    return concat({b, xdrString("")});
  }
};

struct ReadCase {
  Wire wire;
  unsigned int flags[5];
  std::string label;
  std::vector<unsigned char> hardware;  // the bytes that must arrive (the header: missing are 0)
};

const std::string k31(31, 'a');
// clang-format off
const ReadCase kReads[] = {
    {{}, {1, 1, 1, 1, 0}, "eth0", {0, 0x11, 0x22, 0x33, 0x44, 0x55}},
    {{{5, 0x101, 2, 0x100, 255}}, {1, 1, 1, 0, 1}, "eth0", {0}},  // flags other than 0 and 1
    {{.label = k31 + "b"}, {1, 1, 1, 1, 0}, k31, {0}},  // a label of 32 keeps 31
    {{.hardware = {0xAA, 0xBB}}, {1, 1, 1, 1, 0}, "eth0", {0xAA, 0xBB, 0, 0, 0, 0}},
    {{.hardware = {0x1FF, 0x100, 2, 3, 4, 0xFFFFFF05}}, {1, 1, 1, 1, 0}, "eth0",
     {0xFF, 0, 2, 3, 4, 5}},
};
// clang-format on

TEST_F(InterfaceTest, ReadFillsTheRecordAndTheTexts) {
  for (const ReadCase &c : kReads) {
    SCOPED_TRACE(&c - kReads);
    server.answer(kGetIP, Reply::body(c.wire.bytes()));
    IPInfo info;
    std::memset(&info, 0xA5, sizeof info);
    ASSERT_EQ(qelGetIP(0, 1, &info), RESULT_OK);
    const unsigned int flags[] = {info.enabled, info.ipAddressValid, info.netmaskValid,
                                  info.gatewayValid, info.dhcp};
    EXPECT_EQ(std::memcmp(flags, c.flags, sizeof flags), 0);
    // Addresses are copied whatever their flags say.
    EXPECT_EQ(std::vector({info.ipAddress, info.netmask, info.gateway}),
              std::vector<unsigned int>({0x0A000002, 0xFFFFFF00, 0x0A000001}));
    EXPECT_EQ(std::string(info.label, 32), c.label + std::string(32 - c.label.size(), '\0'));
    EXPECT_EQ(std::memcmp(info.hardwareAddress, c.hardware.data(), c.hardware.size()), 0);

    int enabled = -1, dhcp = -1;
    char *address, *netmask, *gateway, *label;
    unsigned char *hardware = nullptr;
    ASSERT_EQ(qelGetIP_Str(0, 1, &enabled, &dhcp, &address, &netmask, &gateway, &label, &hardware),
              RESULT_OK);
    EXPECT_EQ(std::vector({enabled, dhcp}), std::vector<int>({int(c.flags[0]), int(c.flags[4])}));
    EXPECT_EQ(take(address), c.flags[1] ? "10.0.0.2" : "(null)");
    EXPECT_EQ(take(netmask), c.flags[2] ? "255.255.255.0" : "(null)");
    EXPECT_EQ(take(gateway), c.flags[3] ? "10.0.0.1" : "(null)");
    EXPECT_EQ(take(label), c.label);
    ASSERT_NE(hardware, nullptr);
    EXPECT_EQ(std::memcmp(hardware, c.hardware.data(), c.hardware.size()), 0);
    std::free(hardware);
  }
  EXPECT_EQ(server.callsOf(kGetIP).back().arguments, words({1, 0})) << "interface, then selector";
  // Null outputs are not written.
  EXPECT_EQ(qelGetIP_Str(0, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
}

// The request of a write to interface 3 with selector 7: the three addresses, enabled, the
// address flags and dhcp, with an empty label and no hardware address.
Bytes sent(std::initializer_list<uint32_t> fields, const char *text = "t") {
  return concat({words({3, 7, 0}), words(fields), words({0, 0}), xdrString(text)});
}

const unsigned int kIp = 0x0A000002, kMask = 0xFFFFFF00, kGate = 0x0A000001, kZero = 0;

// clang-format off
const std::tuple<std::function<unsigned int()>, unsigned int, Bytes> kWrites[] = {
    {[] { return qelSetIP(7, 3, 9, 0, &kIp, nullptr, nullptr, nullptr); },
     0, sent({kIp, 0, 0, 9, 1, 0, 0, 0}, "")},
    {[] { return qelSetIP(7, 3, 1, 0, &kZero, &kMask, nullptr, "t"); },
     0, sent({0, kMask, 0, 0, 1, 1, 0, 0})},
    {[] { return qelSetIP(7, 3, 1, 0, &kIp, &kZero, &kZero, "t"); },
     0, sent({kIp, 0, 0, 1, 1, 1, 1, 0})},
    {[] { return qelSetIP(7, 3, 1, 7, &kIp, &kMask, &kGate, "t"); },
     0, sent({0, 0, 0, 1, 0, 0, 0, 1})},
    {[] { return qelSetIP_Str(7, 3, 1, 0, nullptr, " 255.255.255.0", nullptr, "t"); },
     0, sent({0, kMask, 0, 1, 0, 1, 0, 0})},
    {[] { return qelSetIP_Str(7, 3, 1, 0, "0.0.0.0", nullptr, nullptr, "t"); },
     0, sent({0, 0, 0, 0, 1, 0, 0, 0})},
    {[] { return qelSetIP_Str(7, 3, 0x102, 0, "10.0.0.2", nullptr, nullptr, "t"); },
     0, sent({kIp, 0, 0, 2, 1, 0, 0, 0})},
    {[] { return qelSetIP_Str(7, 3, 1, 1, "junk", "256.0.0.0", nullptr, "t"); },
     0, sent({0, 0, 0, 1, 0, 0, 0, 1})},
    {[] { return qelSetIP_Str(7, 3, 1, 0, "10.0.0", "255.255.255.0", "10.0.0.1", "t"); }, 4, {}},
    {[] { return qelSetIP_Str(7, 3, 1, 0, "10.0.0.2", "255.255.255.256", "10.0.0.1", "t"); },
     4, {}},
    {[] { return qelSetIP_Str(7, 3, 1, 0, "10.0.0.2", "255.255.255.0", "", "t"); }, 4, {}},
    // Disabled, every given text is sent present: its address when it reads as one, else 0.
    {[] { return qelSetIP_Str(7, 3, 0, 0, "10.0.0.2", "junk", nullptr, nullptr); },
     0, sent({kIp, 0, 0, 0, 1, 1, 0, 0}, "")},
};
// clang-format on

TEST_F(InterfaceTest, WriteRules) {
  server.answer(kSetIP, Reply::integer(0));
  int row = 0;
  for (const auto &[write, result, request] : kWrites) {
    server.clearLog();
    EXPECT_EQ(write(), result) << "row " << row++;
    const auto calls = server.callsOf(kSetIP);
    EXPECT_EQ(calls.empty() ? Bytes{} : calls[0].arguments, request);
  }
}

}  // namespace
}  // namespace qel::test

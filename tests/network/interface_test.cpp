// Reading and writing one interface's addresses, numerically and as dotted-quad texts.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "ip_state_wire.hpp"
#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

using InterfaceTest = ServerTest;
using HardwareAddress = std::array<unsigned char, 6>;

constexpr uint32_t kGetIP = proc::GetIP::kNumber;
constexpr uint32_t kSetIP = proc::SetIP::kNumber;

// Stands for "not written" in pointer outputs; never freed.
char unsetText;
unsigned char unsetBlock;

// The outputs of qelGetIP_Str, released at the end of the scope.
struct TextOutputs {
  int enabled = -1;
  int dhcp = -1;
  char *ipAddress = &unsetText;
  char *netmask = &unsetText;
  char *gateway = &unsetText;
  char *label = &unsetText;
  unsigned char *hardwareAddress = &unsetBlock;

  TextOutputs() = default;
  TextOutputs(const TextOutputs &) = delete;
  TextOutputs &operator=(const TextOutputs &) = delete;
  ~TextOutputs() {
    for (char *text : {ipAddress, netmask, gateway, label}) {
      if (text != &unsetText) std::free(text);
    }
    if (hardwareAddress != &unsetBlock) std::free(hardwareAddress);
  }
  unsigned int read(unsigned int configSelector, unsigned int interfaceId) {
    return qelGetIP_Str(configSelector, interfaceId, &enabled, &dhcp, &ipAddress, &netmask,
                        &gateway, &label, &hardwareAddress);
  }
};

std::string textOf(const char *text) { return text != nullptr ? text : "(null)"; }

TEST_F(InterfaceTest, ReadsSendTheInterfaceBeforeTheSelector) {
  server.answer(kGetIP, Reply::body(IPStateWire{}.bytes()));
  const std::function<unsigned int(unsigned int, unsigned int)> readers[] = {
      [](unsigned int selector, unsigned int id) { return qelGetIP(selector, id, nullptr); },
      [](unsigned int selector, unsigned int id) { return TextOutputs{}.read(selector, id); },
  };
  const std::pair<unsigned int, unsigned int> arguments[] = {{0, 1}, {7, 9}, {0xFFFFFFFF, 0}};
  for (const auto &read : readers) {
    for (const auto &[selector, id] : arguments) {
      SCOPED_TRACE(std::to_string(selector) + ", " + std::to_string(id));
      ASSERT_EQ(read(selector, id), RESULT_OK);
      ASSERT_FALSE(server.callsOf(kGetIP).empty());
      EXPECT_EQ(server.callsOf(kGetIP).back().arguments, words({id, selector}));
    }
  }
}

struct ReadCase {
  const char *name;
  std::function<void(IPStateWire &)> change;
  unsigned int enabled, ipAddressValid, netmaskValid, gatewayValid, dhcp;
  const char *label;
  HardwareAddress hardware;
};

const HardwareAddress kDefaultHardware{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::string kLabel31(31, 'a');
const std::string kLabel32 = kLabel31 + "b";

// clang-format off
const ReadCase kReads[] = {
    // name, change to the default reply; flags enabled, ip, netmask, gateway, dhcp; label; hardware
    {"plain", [](IPStateWire &) {}, 1, 1, 1, 1, 0, "eth0", kDefaultHardware},
    {"flags other than 0 and 1",
     [](IPStateWire &w) {
       w.enabled = 5; w.ipAddressValid = 0x101; w.netmaskValid = 2; w.gatewayValid = 0x100;
       w.dhcp = 255;
     },
     1, 1, 1, 0, 1, "eth0", kDefaultHardware},
    {"addresses absent",
     [](IPStateWire &w) { w.enabled = w.ipAddressValid = w.netmaskValid = w.gatewayValid = 0; },
     0, 0, 0, 0, 0, "eth0", kDefaultHardware},
    {"label of 31", [](IPStateWire &w) { w.label = kLabel31; },
     1, 1, 1, 1, 0, kLabel31.c_str(), kDefaultHardware},
    {"label of 32 keeps 31", [](IPStateWire &w) { w.label = kLabel32; },
     1, 1, 1, 1, 0, kLabel31.c_str(), kDefaultHardware},
    {"empty label", [](IPStateWire &w) { w.label = ""; }, 1, 1, 1, 1, 0, "", kDefaultHardware},
    {"no hardware address", [](IPStateWire &w) { w.hardware.clear(); },
     1, 1, 1, 1, 0, "eth0", {}},
    {"hardware address of 3", [](IPStateWire &w) { w.hardware = {0xAA, 0xBB, 0xCC}; },
     1, 1, 1, 1, 0, "eth0", {0xAA, 0xBB, 0xCC, 0, 0, 0}},
    {"hardware bytes keep their low 8 bits",
     [](IPStateWire &w) { w.hardware = {0x1FF, 0x100, 2, 3, 4, 0xFFFFFF05}; },
     1, 1, 1, 1, 0, "eth0", {0xFF, 0, 2, 3, 4, 5}},
};
// clang-format on

void expectRecord(const IPInfo &info, const IPStateWire &wire, const ReadCase &c) {
  EXPECT_EQ(info.enabled, c.enabled);
  EXPECT_EQ(info.ipAddressValid, c.ipAddressValid);
  EXPECT_EQ(info.netmaskValid, c.netmaskValid);
  EXPECT_EQ(info.gatewayValid, c.gatewayValid);
  EXPECT_EQ(info.dhcp, c.dhcp);
  // Copied whatever their flags say.
  EXPECT_EQ(info.ipAddress, wire.ipAddress);
  EXPECT_EQ(info.netmask, wire.netmask);
  EXPECT_EQ(info.gateway, wire.gateway);
  EXPECT_STREQ(info.label, c.label);
  const std::size_t used = std::strlen(c.label);
  EXPECT_EQ(std::string(info.label + used, sizeof info.label - used),
            std::string(sizeof info.label - used, '\0'))
      << "the rest of the label is NUL-filled";
  EXPECT_EQ(std::memcmp(info.hardwareAddress, c.hardware.data(), 6), 0);
}

void expectTexts(const TextOutputs &out, const ReadCase &c) {
  EXPECT_EQ(out.enabled, static_cast<int>(c.enabled));
  EXPECT_EQ(out.dhcp, static_cast<int>(c.dhcp));
  EXPECT_EQ(textOf(out.ipAddress), c.ipAddressValid ? "10.0.0.2" : "(null)");
  EXPECT_EQ(textOf(out.netmask), c.netmaskValid ? "255.255.255.0" : "(null)");
  EXPECT_EQ(textOf(out.gateway), c.gatewayValid ? "10.0.0.1" : "(null)");
  EXPECT_EQ(textOf(out.label), c.label);
  ASSERT_NE(out.hardwareAddress, nullptr);
  EXPECT_EQ(std::memcmp(out.hardwareAddress, c.hardware.data(), 6), 0);
}

TEST_F(InterfaceTest, ReadFillsTheRecordAndTheTexts) {
  for (const ReadCase &c : kReads) {
    SCOPED_TRACE(c.name);
    IPStateWire wire;
    c.change(wire);
    server.answer(kGetIP, Reply::body(wire.bytes()));
    IPInfo info;
    std::memset(&info, 0xA5, sizeof info);
    ASSERT_EQ(qelGetIP(0, 1, &info), RESULT_OK);
    expectRecord(info, wire, c);
    TextOutputs out;
    ASSERT_EQ(out.read(0, 1), RESULT_OK);
    expectTexts(out, c);
  }
}

TEST_F(InterfaceTest, EachTextOutputIsFilledOnItsOwnPointer) {
  server.answer(kGetIP, Reply::body(IPStateWire{}.bytes()));
  TextOutputs out;
  ASSERT_EQ(qelGetIP_Str(0, 1, nullptr, &out.dhcp, &out.ipAddress, nullptr, &out.gateway, nullptr,
                         nullptr),
            RESULT_OK);
  EXPECT_EQ(out.dhcp, 0);
  EXPECT_EQ(textOf(out.ipAddress), "10.0.0.2");
  EXPECT_EQ(out.netmask, &unsetText);
  EXPECT_EQ(textOf(out.gateway), "10.0.0.1");
  EXPECT_EQ(out.label, &unsetText);
  EXPECT_EQ(out.hardwareAddress, &unsetBlock);

  EXPECT_EQ(qelGetIP_Str(0, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            RESULT_OK);
  EXPECT_EQ(qelGetIP(0, 1, nullptr), RESULT_OK);
  EXPECT_EQ(server.callsOf(kGetIP).size(), 3u) << "null outputs still make the call";
}

TEST_F(InterfaceTest, RepliesBeyondTheirBoundsFailTheCall) {
  const std::function<void(IPStateWire &)> changes[] = {
      [](IPStateWire &w) { w.label = kLabel32 + "c"; },
      [](IPStateWire &w) { w.hardware.assign(7, 1); },
      [](IPStateWire &w) { w.hardware.assign(1000, 1); },
  };
  for (const auto &change : changes) {
    IPStateWire wire;
    change(wire);
    server.answer(kGetIP, Reply::body(wire.bytes()));
    IPInfo info;
    std::memset(&info, 0xA5, sizeof info);
    const IPInfo before = info;
    ASSERT_EQ(qelConnect(nullptr, 0), RESULT_OK);
    EXPECT_EQ(qelGetIP(0, 1, &info), RESULT_CALL_FAILED);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(handle(), nullptr);

    TextOutputs out;
    EXPECT_EQ(out.read(0, 1), RESULT_CALL_FAILED);
    EXPECT_EQ(out.enabled, -1);
    EXPECT_EQ(out.label, &unsetText);
  }
}

// A set request as the server decoded it.
struct Sent {
  unsigned char enabled, dhcp;
  unsigned int ipAddress, netmask, gateway;
  unsigned char ipAddressValid, netmaskValid, gatewayValid;
  const char *requestText;
};

void expectRequest(const ScriptedServer &server, unsigned int configSelector,
                   unsigned int interfaceId, const Sent &want) {
  const auto got = server.lastArgument(kSetIP, xdr_rpc_IPState);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got->interface.interfaceId, interfaceId);
  EXPECT_EQ(got->interface.configSelector, configSelector);
  EXPECT_EQ(got->errorCode, 0);
  EXPECT_EQ(got->enabled, want.enabled);
  EXPECT_EQ(got->dhcp, want.dhcp);
  EXPECT_EQ(got->ipAddress, want.ipAddress);
  EXPECT_EQ(got->ipAddressValid, want.ipAddressValid);
  EXPECT_EQ(got->netmask, want.netmask);
  EXPECT_EQ(got->netmaskValid, want.netmaskValid);
  EXPECT_EQ(got->gateway, want.gateway);
  EXPECT_EQ(got->gatewayValid, want.gatewayValid);
  EXPECT_STREQ(got->label, "");
  EXPECT_EQ(got->hardwareAddressCount, 0u);
  EXPECT_STREQ(got->requestText, want.requestText);
}

const unsigned int kIp = 0x0A000002, kMask = 0xFFFFFF00, kGate = 0x0A000001, kZero = 0;

struct SetCase {
  const char *name;
  unsigned char enabled;
  int dhcp;
  const unsigned int *ipAddress, *netmask, *gateway;
  const char *requestText;
  Sent sent;
};

// clang-format off
const SetCase kSets[] = {
    // name                             enabled dhcp ip     netmask  gateway  text
    {"by hand",                               1, 0, &kIp,   &kMask,  &kGate,  "why",
     {1, 0, kIp, kMask, kGate, 1, 1, 1, "why"}},
    {"enabled byte kept as given",            9, 0, &kIp,   nullptr, nullptr, "",
     {9, 0, kIp, 0, 0, 1, 0, 0, ""}},
    {"null addresses absent",                 1, 0, nullptr, nullptr, nullptr, nullptr,
     {1, 0, 0, 0, 0, 0, 0, 0, ""}},
    {"address 0.0.0.0 disables",              1, 0, &kZero, &kMask,  nullptr, "off",
     {0, 0, 0, kMask, 0, 1, 1, 0, "off"}},
    {"a zero netmask does not disable",       1, 0, &kIp,   &kZero,  &kZero,  "",
     {1, 0, kIp, 0, 0, 1, 1, 1, ""}},
    {"dhcp 7 sends no addresses",             1, 7, &kIp,   &kMask,  &kGate,  "auto",
     {1, 1, 0, 0, 0, 0, 0, 0, "auto"}},
    {"dhcp keeps an interface with address 0 enabled", 1, -1, &kZero, nullptr, nullptr, nullptr,
     {1, 1, 0, 0, 0, 0, 0, 0, ""}},
};
// clang-format on

TEST_F(InterfaceTest, SetRequestsAsTheServerReceivesThem) {
  server.answer(kSetIP, Reply::integer(0));
  for (const SetCase &c : kSets) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qelSetIP(7, 3, c.enabled, c.dhcp, c.ipAddress, c.netmask, c.gateway, c.requestText),
              RESULT_OK);
    expectRequest(server, 7, 3, c.sent);
  }
}

struct TextSetCase {
  const char *name;
  int enabled;
  int dhcp;
  const char *ipAddress, *netmask, *gateway, *requestText;
  unsigned int result;
  Sent sent;  // when the result is 0
};

// clang-format off
const TextSetCase kTextSets[] = {
    // name, enabled, dhcp, ip, netmask, gateway, text; result and what is sent
    {"by hand", 1, 0, "10.0.0.2", "255.255.255.0", "10.0.0.1", "why",
     RESULT_OK, {1, 0, kIp, kMask, kGate, 1, 1, 1, "why"}},
    {"null texts absent", 1, 0, nullptr, " 255.255.255.0", nullptr, nullptr,
     RESULT_OK, {1, 0, 0, kMask, 0, 0, 1, 0, ""}},
    {"0.0.0.0 disables", 1, 0, "0.0.0.0", nullptr, nullptr, nullptr,
     RESULT_OK, {0, 0, 0, 0, 0, 1, 0, 0, ""}},
    {"enabled narrowed to a byte", 0x102, 0, "10.0.0.2", nullptr, nullptr, nullptr,
     RESULT_OK, {2, 0, kIp, 0, 0, 1, 0, 0, ""}},
    {"malformed address", 1, 0, "10.0.0", "255.255.255.0", "10.0.0.1", nullptr,
     RESULT_INVALID_ARGUMENT, {}},
    {"netmask above 255", 1, 0, "10.0.0.2", "255.255.255.256", "10.0.0.1", nullptr,
     RESULT_INVALID_ARGUMENT, {}},
    {"malformed gateway after good ones", 1, 0, "10.0.0.2", "255.255.255.0", "", nullptr,
     RESULT_INVALID_ARGUMENT, {}},
    {"dhcp ignores the texts", 1, 1, "junk", "256.0.0.0", nullptr, "auto",
     RESULT_OK, {1, 1, 0, 0, 0, 0, 0, 0, "auto"}},
    {"disabled sends readable texts", 0, 0, "10.0.0.2", "junk", nullptr, nullptr,
     RESULT_OK, {0, 0, kIp, 0, 0, 1, 1, 0, ""}},
    {"disabled sends unreadable texts as 0", 0, 0, "1.2.3", nullptr, "300.1.1.1", nullptr,
     RESULT_OK, {0, 0, 0, 0, 0, 1, 0, 1, ""}},
};
// clang-format on

TEST_F(InterfaceTest, TextSetRequestsAsTheServerReceivesThem) {
  server.answer(kSetIP, Reply::integer(0));
  for (const TextSetCase &c : kTextSets) {
    SCOPED_TRACE(c.name);
    server.clearLog();
    EXPECT_EQ(
        qelSetIP_Str(7, 3, c.enabled, c.dhcp, c.ipAddress, c.netmask, c.gateway, c.requestText),
        c.result);
    if (c.result != RESULT_OK) {
      EXPECT_EQ(server.callCount(), 0u) << "nothing is sent";
      continue;
    }
    expectRequest(server, 7, 3, c.sent);
  }
}

}  // namespace
}  // namespace qel::test

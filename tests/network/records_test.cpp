// Exact bytes of the network records in every direction, with and without inline blocks, and
// the replies that must fail to decode.
#include <gtest/gtest.h>

#include <string>

#include "ip_state_wire.hpp"
#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::test {
namespace {

const char *policyName(Inline policy) {
  return policy == Inline::kGranted ? "inline granted" : "inline refused";
}

// Encodes to exactly `expected` whether or not the stream grants inline blocks; decoding those
// bytes and encoding the result gives them back, so decoding fills every field.
template <typename T>
void expectWire(bool_t (*codec)(XDR *, T *), const T &record, const Bytes &expected) {
  for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
    SCOPED_TRACE(policyName(policy));
    bool ok = false;
    EXPECT_EQ(encode(codec, record, policy, &ok), expected);
    EXPECT_TRUE(ok);
    Decoded<T> back = decode(codec, expected, policy);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(encode(codec, back.value), expected);
  }
}

// Every proper prefix of a record's bytes fails to decode, and what was decoded so far is
// released (the sanitizers see a leak otherwise).
template <typename T>
void expectEveryPrefixFails(bool_t (*codec)(XDR *, T *), const Bytes &whole) {
  for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
    for (std::size_t keep = 0; keep < whole.size(); ++keep) {
      SCOPED_TRACE(std::string(policyName(policy)) + ", keep " + std::to_string(keep));
      EXPECT_FALSE(decode(codec, Bytes(whole.begin(), whole.begin() + keep), policy).ok);
    }
  }
}

char kLabel[] = "eth0";
char kText[] = "abc";
char kEmpty[] = "";
unsigned char kHardware[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

TEST(NetworkRecords, InterfaceCarriesTheInterfaceBeforeTheSelector) {
  expectWire(xdr_rpc_Interface, rpc_Interface{1, 0}, words({1, 0}));
  expectWire(xdr_rpc_Interface, rpc_Interface{0xFFFFFFFF, 7}, words({0xFFFFFFFF, 7}));
}

TEST(NetworkRecords, IPStateWithEveryField) {
  rpc_IPState state{};
  state.interface = {7, 9};
  state.errorCode = -2;
  state.ipAddress = 0x0A000002;
  state.netmask = 0xFFFFFF00;
  state.gateway = 0xC0A80001;
  state.enabled = 1;
  state.ipAddressValid = 0;
  state.netmaskValid = 2;  // a flag byte of 2 travels as 2
  state.gatewayValid = 255;
  state.dhcp = 1;
  state.label = kLabel;
  state.hardwareAddressCount = 6;
  state.hardwareAddress = kHardware;
  state.requestText = kText;
  expectWire(xdr_rpc_IPState, state,
             concat({words({7, 9, 0xFFFFFFFE, 0x0A000002, 0xFFFFFF00, 0xC0A80001, 1, 0, 2, 255, 1}),
                     words({4}),
                     {'e', 't', 'h', '0'},
                     words({6, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}),
                     words({3}),
                     {'a', 'b', 'c', 0}}));
}

TEST(NetworkRecords, SmallestIPStateIsFiftySixBytes) {
  rpc_IPState request{};
  request.interface = {1, 0};
  request.label = kEmpty;
  request.requestText = kEmpty;
  const Bytes expected = words({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(expected.size(), 56u);
  expectWire(xdr_rpc_IPState, request, expected);
}

TEST(NetworkRecords, DNSStateWithEveryField) {
  rpc_DNSState state{};
  state.errorCode = 3;
  state.configSelector = 5;
  state.server1 = 0x01020304;
  state.server1Valid = 1;
  state.server2 = 0;
  state.server2Valid = 0;
  state.server3 = 0xC0A80001;
  state.server3Valid = 2;
  state.dnsText = kText;
  expectWire(xdr_rpc_DNSState, state,
             concat({words({3, 5, 0x01020304, 1, 0, 0, 0xC0A80001, 2, 3}), {'a', 'b', 'c', 0}}));

  state.dnsText = kEmpty;
  const Bytes smallest = words({3, 5, 0x01020304, 1, 0, 0, 0xC0A80001, 2, 0});
  ASSERT_EQ(smallest.size(), 36u);
  expectWire(xdr_rpc_DNSState, state, smallest);
}

TEST(NetworkRecords, Hostname) {
  expectWire(xdr_rpc_Hostname, rpc_Hostname{5, kText}, concat({words({5, 3}), {'a', 'b', 'c', 0}}));
  expectWire(xdr_rpc_Hostname, rpc_Hostname{0xFFFFFFFF, kEmpty}, words({0xFFFFFFFF, 0}));
}

TEST(NetworkRecords, NullTextsCannotBeEncoded) {
  rpc_IPState state{};
  state.label = kEmpty;  // requestText stays null
  bool ok = true;
  encode(xdr_rpc_IPState, state, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
  rpc_DNSState dns{};
  encode(xdr_rpc_DNSState, dns, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
  encode(xdr_rpc_Hostname, rpc_Hostname{1, nullptr}, Inline::kGranted, &ok);
  EXPECT_FALSE(ok);
}

TEST(NetworkRecords, FlagIntegersKeepTheirLowByte) {
  IPStateWire wire;
  wire.enabled = 0x101;
  wire.ipAddressValid = 0x100;
  wire.dhcp = 0xFFFFFF02;
  const auto ip = decode(xdr_rpc_IPState, wire.bytes());
  ASSERT_TRUE(ip.ok);
  EXPECT_EQ(ip->enabled, 1);
  EXPECT_EQ(ip->ipAddressValid, 0);
  EXPECT_EQ(ip->dhcp, 2);

  const auto dns = decode(xdr_rpc_DNSState, words({0, 0, 1, 0x101, 2, 0x200, 3, 0x1FF, 0}));
  ASSERT_TRUE(dns.ok);
  EXPECT_EQ(dns->server1Valid, 1);
  EXPECT_EQ(dns->server2Valid, 0);
  EXPECT_EQ(dns->server3Valid, 0xFF);
}

struct BoundCase {
  const char *name;
  std::size_t labelLength;
  std::size_t hardwareCount;
  bool decodes;
};

const BoundCase kBounds[] = {
    {"empty label, no hardware address", 0, 0, true},
    {"label of 32", 32, 6, true},
    {"label of 33", 33, 6, false},
    {"hardware address of 1", 4, 1, true},
    {"hardware address of 6", 4, 6, true},
    {"hardware address of 7", 4, 7, false},
};

TEST(NetworkRecords, LabelAndHardwareAddressBounds) {
  for (const BoundCase &c : kBounds) {
    for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
      SCOPED_TRACE(std::string(c.name) + ", " + policyName(policy));
      IPStateWire wire;
      wire.label = std::string(c.labelLength, 'L');
      wire.hardware.assign(c.hardwareCount, 0xAB);
      const auto ip = decode(xdr_rpc_IPState, wire.bytes(), policy);
      ASSERT_EQ(ip.ok, c.decodes);
      if (!c.decodes) continue;
      EXPECT_EQ(std::string(ip->label), wire.label);
      ASSERT_EQ(ip->hardwareAddressCount, c.hardwareCount);
      if (c.hardwareCount == 0) {
        EXPECT_EQ(ip->hardwareAddress, nullptr);
      } else {
        ASSERT_NE(ip->hardwareAddress, nullptr);
        EXPECT_EQ(ip->hardwareAddress[c.hardwareCount - 1], 0xAB);
      }
    }
  }
}

TEST(NetworkRecords, RecordsCutShortFailToDecode) {
  IPStateWire wire;
  wire.requestText = "text";
  expectEveryPrefixFails(xdr_rpc_IPState, wire.bytes());
  expectEveryPrefixFails(xdr_rpc_DNSState,
                         concat({words({0, 0, 1, 1, 2, 1, 3, 1}), xdrString("dns")}));
  expectEveryPrefixFails(xdr_rpc_Hostname, concat({words({0}), xdrString("host")}));
  expectEveryPrefixFails(xdr_rpc_Interface, words({1, 0}));
}

// Decodes bytes into a plain record, frees it with the codec and hands it back.
template <typename T>
T decodedThenFreed(bool_t (*codec)(XDR *, T *), const Bytes &bytes) {
  T record{};
  EXPECT_TRUE(decodeWith(reinterpret_cast<xdrproc_t>(codec), &record, bytes, Inline::kGranted));
  xdr_free(reinterpret_cast<xdrproc_t>(codec), reinterpret_cast<char *>(&record));
  return record;
}

TEST(NetworkRecords, FreeingLeavesNullPointers) {
  IPStateWire wire;
  wire.requestText = "text";
  const rpc_IPState ip = decodedThenFreed(xdr_rpc_IPState, wire.bytes());
  EXPECT_EQ(ip.label, nullptr);
  EXPECT_EQ(ip.hardwareAddress, nullptr);
  EXPECT_EQ(ip.requestText, nullptr);
  EXPECT_EQ(decodedThenFreed(xdr_rpc_DNSState,
                             concat({words({0, 0, 1, 1, 0, 0, 0, 0}), xdrString("dns")}))
                .dnsText,
            nullptr);
  EXPECT_EQ(decodedThenFreed(xdr_rpc_Hostname, concat({words({0}), xdrString("h")})).hostname,
            nullptr);
}

}  // namespace
}  // namespace qel::test

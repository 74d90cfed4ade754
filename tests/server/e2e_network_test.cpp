// Network operations of the library against qel-simd: every change read back.
#include <tuple>

#include "simd_test.hpp"

namespace qel::test {
namespace {

using SimdNetwork = SimdTest;

TEST_F(SimdNetwork, InterfaceReadsTheScenario) {
  IPInfo info{};
  ASSERT_EQ(qelGetIP(0, 0, &info), RESULT_OK);
  EXPECT_EQ(info.enabled, 1u);
  EXPECT_EQ(info.dhcp, 0u);
  EXPECT_EQ(info.ipAddressValid & info.netmaskValid & info.gatewayValid, 1u);
  EXPECT_EQ(info.ipAddress, 0xC000020Au);
  EXPECT_EQ(info.netmask, 0xFFFFFF00u);
  EXPECT_EQ(info.gateway, 0xC0000201u);
  EXPECT_STREQ(info.label, "mgmt0");
  const unsigned char hardware[6] = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
  EXPECT_EQ(memcmp(info.hardwareAddress, hardware, 6), 0);
  EXPECT_EQ(qelGetIP(0, 2, &info), kNoSuchItem);
  EXPECT_EQ(qelGetIP(1, 0, &info), kNoSuchItem);
}

TEST_F(SimdNetwork, NumericSettingsAreReadBackAsSet) {
  const unsigned address = 0xC6336407, netmask = 0xFFFF0000;  // 198.51.100.7/16
  ASSERT_EQ(qelSetIP(0, 0, 1, 0, &address, &netmask, nullptr, "moved to the lab"), RESULT_OK);
  IPInfo info{};
  ASSERT_EQ(qelGetIP(0, 0, &info), RESULT_OK);
  EXPECT_EQ(info.ipAddress, address);
  EXPECT_EQ(info.netmask, netmask);
  EXPECT_EQ(info.gatewayValid, 0u);
  EXPECT_NE(internalState().find("request \"moved to the lab\""), std::string::npos);
  const unsigned badMask = 0xFF00FF00;
  EXPECT_EQ(qelSetIP(0, 0, 1, 0, &address, &badMask, nullptr, nullptr), kBadValue);
  EXPECT_EQ(qelSetIP(0, 5, 1, 0, &address, nullptr, nullptr, nullptr), kNoSuchItem);
}

TEST_F(SimdNetwork, TextSettingsAreReadBackAsSet) {
  ASSERT_EQ(qelSetIP_Str(0, 0, 1, 0, "203.0.113.9", "255.255.255.128", "203.0.113.1", nullptr),
            RESULT_OK);
  int enabled = 0, dhcp = 1;
  char *address = nullptr, *netmask = nullptr, *gateway = nullptr, *label = nullptr;
  unsigned char *hardware = nullptr;
  ASSERT_EQ(qelGetIP_Str(0, 0, &enabled, &dhcp, &address, &netmask, &gateway, &label, &hardware),
            RESULT_OK);
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(dhcp, 0);
  EXPECT_EQ(take(address), "203.0.113.9");
  EXPECT_EQ(take(netmask), "255.255.255.128");
  EXPECT_EQ(take(gateway), "203.0.113.1");
  EXPECT_EQ(take(label), "mgmt0");
  ASSERT_NE(hardware, nullptr);
  EXPECT_EQ(hardware[5], 0x01);
  free(hardware);
}

TEST_F(SimdNetwork, DhcpInterfaceReportsItsLeaseWhileEnabled) {
  char *address = nullptr;
  int enabled = 1;
  ASSERT_EQ(qelGetIP_Str(0, 1, &enabled, nullptr, &address, nullptr, nullptr, nullptr, nullptr),
            RESULT_OK);
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(address, nullptr);
  ASSERT_EQ(qelSetIP_Str(0, 1, 1, 1, nullptr, nullptr, nullptr, "up"), RESULT_OK);
  ASSERT_EQ(qelGetIP_Str(0, 1, &enabled, nullptr, &address, nullptr, nullptr, nullptr, nullptr),
            RESULT_OK);
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(take(address), "198.51.100.20");
}

TEST_F(SimdNetwork, DnsServersAreReadBackAsSet) {
  unsigned s1 = 0, s2 = 0, s3 = 1;
  char *text = nullptr;
  ASSERT_EQ(qelGetDNS3(0, &s1, &s2, &s3, &text), RESULT_OK);
  EXPECT_EQ(std::make_tuple(s1, s2, s3), std::make_tuple(0xC0000235u, 0xC0000236u, 0u));
  EXPECT_EQ(take(text), "search lab.example");

  const unsigned a = 0x0A000001, b = 0x0A000002, c = 0x0A000003;
  ASSERT_EQ(qelSetDNS3(0, &a, &b, &c, "three"), RESULT_OK);
  ASSERT_EQ(qelGetDNS3(0, &s1, &s2, &s3, nullptr), RESULT_OK);
  EXPECT_EQ(std::make_tuple(s1, s2, s3), std::make_tuple(a, b, c));

  ASSERT_EQ(qelSetDNS_Str(0, "203.0.113.1, 203.0.113.2", "two"), RESULT_OK);
  char *servers = nullptr;
  ASSERT_EQ(qelGetDNS_Str(0, &servers, &text), RESULT_OK);
  EXPECT_EQ(take(servers), "203.0.113.1, 203.0.113.2");
  EXPECT_EQ(take(text), "two");

  ASSERT_EQ(qelSetDNS(0, &c, nullptr), RESULT_OK);
  ASSERT_EQ(qelGetDNS(0, &s1, &text), RESULT_OK);
  EXPECT_EQ(s1, c);
  EXPECT_EQ(take(text), "");
  EXPECT_EQ(qelSetDNS(1, &c, nullptr), kNoSuchItem);
}

TEST_F(SimdNetwork, HostnameIsReadBackAsSet) {
  char *hostname = nullptr;
  ASSERT_EQ(qelGetHostname(0, &hostname), RESULT_OK);
  EXPECT_EQ(take(hostname), "sp-sim");
  ASSERT_EQ(qelSetHostname(0, "lab-node-7.example"), RESULT_OK);
  ASSERT_EQ(qelGetHostname(0, &hostname), RESULT_OK);
  EXPECT_EQ(take(hostname), "lab-node-7.example");
  EXPECT_EQ(qelSetHostname(0, "bad_name"), kBadValue);
  EXPECT_EQ(qelSetHostname(0, nullptr), kBadValue);  // sent as the empty name
}

TEST_F(SimdNetwork, DateMovesTheSimulatedClock) {
  ASSERT_EQ(qelSetDate("2031-05-06 07:08:09"), RESULT_OK);
  EXPECT_NE(internalState().find("date: 2031-05-06 07:0"), std::string::npos);
  EXPECT_EQ(qelSetDate("next tuesday"), kBadValue);
  char *now = nullptr;  // the library's own clock, not the server's
  ASSERT_EQ(qelGetDate(&now), RESULT_OK);
  EXPECT_EQ(take(now).size(), 23u);
}

TEST_F(SimdNetwork, ResetToDefaultsRestoresTheScenario) {
  ASSERT_EQ(qelSetHostname(0, "changed"), RESULT_OK);
  ASSERT_EQ(qelPlatformSetPowerLevel(50), RESULT_OK);
  const unsigned short networkOnly = 1, everything = 0, unknown = 7;
  ASSERT_EQ(qelResetToDefaultSettings(&networkOnly), RESULT_OK);
  char *hostname = nullptr;
  ASSERT_EQ(qelGetHostname(0, &hostname), RESULT_OK);
  EXPECT_EQ(take(hostname), "sp-sim");
  int level = 0;
  ASSERT_EQ(qelPlatformGetPowerLevel(&level), RESULT_OK);
  EXPECT_EQ(level, 50);
  ASSERT_EQ(qelResetToDefaultSettings(&everything), RESULT_OK);
  ASSERT_EQ(qelPlatformGetPowerLevel(&level), RESULT_OK);
  EXPECT_EQ(level, 100);
  EXPECT_EQ(qelResetToDefaultSettings(&unknown), kBadValue);
}

}  // namespace
}  // namespace qel::test

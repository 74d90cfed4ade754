// Network operations whose text copies cannot be allocated. This executable defines strdup
// itself; being the program, its definition serves the library's calls too, so a test can make
// the n-th copy on its own thread fail while it is armed.
#include <cstdlib>
#include <cstring>
#include <string>

#include "ip_state_wire.hpp"
#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace {

thread_local bool armed = false;
thread_local int failAt = 0;  // the armed copy that fails
thread_local int seen = 0;    // copies made while armed

}  // namespace

extern "C" char *strdup(const char *text) noexcept {
  if (armed && ++seen == failAt) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  auto *copy = static_cast<char *>(std::malloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

namespace qel::test {
namespace {

// Runs `operation` with copy `n` failing.
template <typename Operation>
unsigned int failingCopy(int n, Operation &&operation) {
  seen = 0;
  failAt = n;
  armed = true;
  const unsigned int result = operation();
  armed = false;
  return result;
}

char unset;  // stands for "not written"; never freed

// Frees what the library handed out; leaves the "not written" marker and nulls alone.
void release(std::initializer_list<char *> texts) {
  for (char *text : texts) {
    if (text != &unset) std::free(text);
  }
}

using AllocationTest = ServerTest;

TEST_F(AllocationTest, InterfaceTextsStopAtTheFirstFailedCopy) {
  server.answer(proc::GetIP::kNumber, Reply::body(IPStateWire{}.bytes()));
  // The copies are made in the order address, netmask, gateway, label.
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    char *texts[4] = {&unset, &unset, &unset, &unset};
    unsigned char block = 0;
    unsigned char *hardware = &block;
    EXPECT_EQ(failingCopy(n,
                          [&] {
                            return qelGetIP_Str(0, 1, nullptr, nullptr, &texts[0], &texts[1],
                                                &texts[2], &texts[3], &hardware);
                          }),
              RESULT_NO_RESOURCES);
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(i);
      if (i < n - 1) {
        EXPECT_NE(texts[i], &unset) << "handed out before the failure";
      } else if (i == n - 1) {
        EXPECT_EQ(texts[i], nullptr);
      } else {
        EXPECT_EQ(texts[i], &unset) << "untouched after the failure";
      }
    }
    EXPECT_EQ(hardware, &block);
    release({texts[0], texts[1], texts[2], texts[3]});
  }
}

TEST_F(AllocationTest, DnsTextComesBeforeTheJoinedServers) {
  server.answer(proc::GetDNS::kNumber,
                Reply::body(concat({words({0, 0, 1, 1, 2, 1, 0, 0}), xdrString("dns")})));
  char *servers = &unset, *dnsText = &unset;
  EXPECT_EQ(failingCopy(1, [&] { return qelGetDNS_Str(0, &servers, &dnsText); }),
            RESULT_NO_RESOURCES);
  EXPECT_EQ(dnsText, nullptr);
  EXPECT_EQ(servers, &unset);

  dnsText = &unset;
  EXPECT_EQ(failingCopy(2, [&] { return qelGetDNS_Str(0, &servers, &dnsText); }),
            RESULT_NO_RESOURCES);
  ASSERT_NE(dnsText, &unset);
  EXPECT_STREQ(dnsText, "dns") << "stays with the caller";
  EXPECT_EQ(servers, nullptr);
  release({dnsText});
}

TEST_F(AllocationTest, SingleCopiesGiveNoResourcesAndNull) {
  server.answer(proc::GetHostname::kNumber, Reply::body(concat({encodeInt(0), xdrString("sp")})));
  char *text = &unset;
  EXPECT_EQ(failingCopy(1, [&] { return qelGetHostname(0, &text); }), RESULT_NO_RESOURCES);
  EXPECT_EQ(text, nullptr);
  text = &unset;
  EXPECT_EQ(failingCopy(1, [&] { return qelIPAddressToString(0x01020304, &text); }),
            RESULT_NO_RESOURCES);
  EXPECT_EQ(text, nullptr);
  EXPECT_NE(handle(), nullptr) << "a failed copy is no failed call";
}

}  // namespace
}  // namespace qel::test

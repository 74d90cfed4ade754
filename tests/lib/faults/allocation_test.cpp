// SPDX-License-Identifier: Apache-2.0
// Every operation of the catalogue with each of its copies for the caller failing in turn. This
// program defines strdup and reallocarray itself; being the program, its definitions serve the
// library's calls too, and fail the n-th one on the armed thread.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "operations.hpp"
#include "server_test.hpp"

namespace {

thread_local bool armed = false;
thread_local int failAt = 0;  // the armed allocation that fails; 0 lets all succeed
thread_local int seen = 0;    // allocations made while armed

bool failThisOne() { return armed && ++seen == failAt; }

}  // namespace

extern "C" char *strdup(const char *text) noexcept {
  if (failThisOne()) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  auto *copy = static_cast<char *>(std::malloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

extern "C" void *reallocarray(void *block, std::size_t count, std::size_t size) noexcept {
  if (failThisOne()) return nullptr;
  if (size != 0 && count > SIZE_MAX / size) {
    errno = ENOMEM;
    return nullptr;
  }
  return std::realloc(block, count * size);
}

namespace qel::test {
namespace {

using AllocationTest = ServerTest;

// Runs `op` with allocation `n` failing, on a connection made beforehand (creating a client
// allocates too); returns its result.
unsigned int callFailing(const Operation &op, int n, Outputs &out) {
  if (qelConnect(nullptr, 0) != RESULT_OK) return RESULT_NOT_REGISTERED;
  seen = 0;
  failAt = n;
  armed = true;
  const unsigned int result = op.call(out);
  armed = false;
  return result;
}

TEST_F(AllocationTest, EachFailedCopyGivesNoResourcesAndKeepsTheHandle) {
  int total = 0;
  for (const Operation &op : operations()) {
    SCOPED_TRACE(op.name);
    script(server, op, Reply::body(op.reply(0)));
    int allocations = 0;
    {
      Outputs out;
      ASSERT_EQ(callFailing(op, 0, out), 0u);
      allocations = seen;
    }
    total += allocations;
    for (int n = 1; n <= allocations; ++n) {
      SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
      Outputs out;
      EXPECT_EQ(callFailing(op, n, out),
                op.convention == Convention::kText ? RESULT_CALL_FAILED : RESULT_NO_RESOURCES);
      EXPECT_EQ(seen, n) << "nothing is attempted after the failure";
      EXPECT_TRUE(out.someTextNull() || out.untouched()) << "the failed copy is null";
      EXPECT_NE(handle(), nullptr) << "a reply came; the handle stays";
    }
  }
  if (total == 0) GTEST_SKIP() << "the library's allocations do not reach this program's own";
}

}  // namespace
}  // namespace qel::test

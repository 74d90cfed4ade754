// The sensor list when its copies cannot be allocated. This executable defines strdup and
// reallocarray itself; being the program, its definitions serve the library's calls too, so
// the test can make the n-th allocation on its own thread fail while it is armed.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/procedures.hpp"
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

constexpr uint32_t kList = proc::GetSensorList::kNumber;

Reply listing(const std::vector<std::string> &ids) {
  Bytes bytes = words({0, static_cast<uint32_t>(ids.size())});
  for (const std::string &id : ids) bytes = concat({bytes, xdrString(id)});
  return Reply::body(bytes);
}

class ListAllocationTest : public ServerTest {
 protected:
  // The list call with allocation `n` failing; counts the allocations it attempted.
  unsigned int listFailingAt(int n, unsigned int *count, char ***list) {
    seen = 0;
    failAt = n;
    armed = true;
    const unsigned int result = qelGetSensorList(1, 2, count, list);
    armed = false;
    return result;
  }

  void freeList(unsigned int count, char **list) {
    for (unsigned int i = 0; i < count; ++i) std::free(list[i]);
    std::free(list);
  }
};

TEST_F(ListAllocationTest, FailedCopyReleasesEverythingAndWritesNothing) {
  // The array comes first (allocation 1), then identifier i is allocation i + 2.
  const std::vector<std::string> three = {"cpu0.temp", "fan.1", "psu.volt"};
  {
    server.answerOnce(kList, listing(three));
    unsigned int count = 0;
    char **list = nullptr;
    ASSERT_EQ(listFailingAt(0, &count, &list), RESULT_OK);
    if (seen == 0) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
      GTEST_SKIP() << "the sanitizer runtime keeps the library's allocations to itself";
#else
      FAIL() << "the library's allocations do not reach this program's definitions";
#endif
    }
    EXPECT_EQ(seen, 4) << "one array and one copy per identifier";
    freeList(count, list);
  }

  struct Case {
    const char *name;
    std::vector<std::string> ids;
    int failing;
  };
  const Case cases[] = {
      {"the array", three, 1},      {"the array of an empty list", {}, 1},
      {"the first copy", three, 2}, {"the second of three copies", three, 3},
      {"the last copy", three, 4},  {"the only copy", {"x"}, 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    server.answerOnce(kList, listing(c.ids));
    unsigned int count = 12345;
    char *sentinel[1] = {nullptr};
    char **list = sentinel;
    EXPECT_EQ(listFailingAt(c.failing, &count, &list), RESULT_NO_RESOURCES);
    EXPECT_EQ(seen, c.failing) << "nothing is attempted after the failure";
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(list, sentinel);
    EXPECT_NE(handle(), nullptr) << "a reply came; the handle stays";
  }

  server.answerOnce(kList, listing(three));
  unsigned int count = 0;
  char **list = nullptr;
  ASSERT_EQ(qelGetSensorList(1, 2, &count, &list), RESULT_OK);
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(list[2], "psu.volt");
  freeList(count, list);
}

}  // namespace
}  // namespace qel::test

// Product identification against qel-simd: the "product-id" sensor looked up in the product map
// file. The map file's path is fixed, so the test gives itself a private mount of /usr/local
// holding a map of its own; without the privilege for that it is skipped.
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "simd_test.hpp"

namespace qel::test {
namespace {

// Only the calling thread sees the mount: the library reads the file on the caller's thread.
bool privateMapFile(const std::string &contents, std::string &why) {
  if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", "/usr/local", "tmpfs", 0, "size=64k") != 0 ||
      mkdir("/usr/local/config", 0755) != 0) {
    why = std::strerror(errno);
    return false;
  }
  std::ofstream("/usr/local/config/prod_id_map") << contents;
  return true;
}

class SimdProduct : public SimdTest {
 protected:
  void SetUp() override {
    std::string why;
    if (!privateMapFile("# product map\n19|Other server\n1A|Simulated two-socket server\n", why)) {
      GTEST_SKIP() << "no private mount for the product map file: " << why;
    }
    SimdTest::SetUp();
  }
};

TEST_F(SimdProduct, NameComesFromTheSensorAndTheMap) {
  char *name = nullptr;
  ASSERT_EQ(qelGetProductId(&name), RESULT_OK);
  EXPECT_EQ(take(name), "Simulated two-socket server");
  ASSERT_EQ(qelSysSetSensorValue("product-id", 25.0f), RESULT_OK);
  ASSERT_EQ(qelGetProductId(&name), RESULT_OK);
  EXPECT_EQ(take(name), "Other server");
  ASSERT_EQ(qelSysSetSensorValue("product-id", 99.0f), RESULT_OK);
  name = nullptr;
  EXPECT_EQ(qelGetProductId(&name), RESULT_NOT_AVAILABLE);
  EXPECT_EQ(name, nullptr);
}

TEST_F(SimdProduct, UnavailableSensorGivesNotApplicable) {
  const std::string path = ::testing::TempDir() + "no_product.json";
  std::ofstream(path) << R"({"hostname": "x", "productId": null, "components": [], "sensors": [],
    "interfaces": [{"label": "e0", "hardwareAddress": "02:00:00:00:00:01"}]})";
  SimdProcess other;
  ASSERT_TRUE(other.start(0, {"--scenario", path}));
  qelDisconnect();
  ASSERT_EQ(qelConnect(nullptr, other.program()), RESULT_OK);
  char *name = nullptr;
  ASSERT_EQ(qelGetProductId(&name), RESULT_OK);
  EXPECT_EQ(take(name), "N/A");
  qelDisconnect();
}

}  // namespace
}  // namespace qel::test

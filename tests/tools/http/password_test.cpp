// SPDX-License-Identifier: Apache-2.0
// Password hashes: yescrypt made here and checked, hashes made by other tools checked (written
// out as those tools printed them), the weak forms and garbage refused.
#include "tools/http/password.hpp"

#include <gtest/gtest.h>

namespace qel::test {
namespace {

using namespace std::string_literals;
using http::hashPassword;
using http::passwordMatches;

struct Check {
  const char *name;
  std::string hash;
  std::string password;
  bool matches;
};

const Check kChecks[] = {
    // Published bcrypt test vectors.
    {"bcrypt_empty", "$2a$06$DCq7YPn5Rq63x1Lad4cll.TV4S6ytwfsfvkgY8jIucDrjc8deX1s.", "", true},
    {"bcrypt_abc", "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i", "abc", true},
    // passlib's pure-Python bcrypt: bcrypt.using(ident="2y", rounds=5).hash("scrape-secret").
    {"bcrypt_2y", "$2y$05$aCmPLHuAotkOdz5tpBTRfOKzcXyVHHTVNnceWQAoXLPfgpdlQFHX2", "scrape-secret",
     true},
    {"bcrypt_wrong", "$2y$05$aCmPLHuAotkOdz5tpBTRfOKzcXyVHHTVNnceWQAoXLPfgpdlQFHX2",
     "scrape-secreT", false},
    {"bcrypt_prefix_of_password", "$2y$05$aCmPLHuAotkOdz5tpBTRfOKzcXyVHHTVNnceWQAoXLPfgpdlQFHX2",
     "scrape-secre", false},
    // openssl passwd -6 / -5 -salt 8rGnQ1kPz2vTbX4c service-password.
    {"sha512",
     "$6$8rGnQ1kPz2vTbX4c$7NC8RmOeNpcBpUtVqt0AAX1kgRJmrr222TdKYK7Tud/"
     "Yx4e.verddd9G5.nii9AjjqupitXfR."
     "upBy7zwPmTM0",
     "service-password", true},
    {"sha256", "$5$8rGnQ1kPz2vTbX4c$tiAiIsyN6qhkLjo2PyodXtddrwFNdl30uMAAPon6u5.",
     "service-password", true},
    {"sha256_wrong", "$5$8rGnQ1kPz2vTbX4c$tiAiIsyN6qhkLjo2PyodXtddrwFNdl30uMAAPon6u5.",
     "service-passwore", false},
    // Right passwords in forms too weak to be trusted: openssl passwd -1, and DES crypt.
    {"md5_refused", "$1$abcdefgh$.f4Zgdd519gnTV62QAp2q0", "service-password", false},
    {"des_refused", "abAjweUn6pcmo", "service-password", false},
    {"empty_hash", "", "", false},
    {"prefix_only", "$y$", "", false},
    {"truncated", "$2y$05$aCmPLHuAotkOdz5tpBTRfO", "scrape-secret", false},
    {"failure_token", "*0", "", false},
    {"nul_in_hash", "$5$8rGnQ1kPz2vTbX4c\0$tiAiIsyN6qhkLjo2Py"s, "service-password", false},
    {"nul_in_password", "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i", "abc\0def"s,
     false},
};

class PasswordCheck : public testing::TestWithParam<Check> {};

TEST_P(PasswordCheck, MatchesOnlyTheRightPasswordInAStrongForm) {
  EXPECT_EQ(passwordMatches(GetParam().hash, GetParam().password), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Hashes, PasswordCheck, testing::ValuesIn(kChecks),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(HashPassword, MakesSaltedYescryptThatMatchesOnlyItsPassword) {
  const auto first = hashPassword("correct horse");
  const auto second = hashPassword("correct horse");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->substr(0, 3), "$y$");
  EXPECT_NE(*first, *second);
  EXPECT_TRUE(passwordMatches(*first, "correct horse"));
  EXPECT_TRUE(passwordMatches(*second, "correct horse"));
  EXPECT_FALSE(passwordMatches(*first, "correct horse "));
  EXPECT_FALSE(passwordMatches(*first, ""));
}

TEST(HashPassword, RefusesAPasswordWithANul) {
  EXPECT_EQ(hashPassword("abc\0def"s), std::nullopt);
  const auto hash = hashPassword("abc");
  ASSERT_TRUE(hash);
  // Cut at the NUL, the password would match.
  EXPECT_FALSE(passwordMatches(*hash, "abc\0def"s));
}

}  // namespace
}  // namespace qel::test

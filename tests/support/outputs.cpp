// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>

#include "operations.hpp"

namespace qel::test {

bool Outputs::poisoned(const void *place, std::size_t size) {
  const auto *bytes = static_cast<const unsigned char *>(place);
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != kPoison) return false;
  }
  return true;
}

Outputs::~Outputs() {
  for (auto &release : releases_) release();
}

char **Outputs::text(const char *expected) {
  char **place = slot<char *>();
  texts_.push_back(place);
  checks_.push_back([place, expected] {
    return !poisoned(place, sizeof *place) && *place != nullptr &&
           std::strcmp(*place, expected) == 0;
  });
  releases_.push_back([place] {
    if (!poisoned(place, sizeof *place)) std::free(*place);
  });
  return place;
}

unsigned char **Outputs::block() {
  auto **place = filled<unsigned char *>();
  releases_.push_back([place] {
    if (!poisoned(place, sizeof *place)) std::free(*place);
  });
  return place;
}

char ***Outputs::list(unsigned int *count) {
  char ***place = filled<char **>();
  releases_.push_back([place, count] {
    if (poisoned(place, sizeof *place) || *place == nullptr) return;
    for (unsigned int i = 0; i < *count; ++i) std::free((*place)[i]);
    std::free(*place);
  });
  return place;
}

bool Outputs::untouched() const { return poisoned(block_, sizeof block_); }

bool Outputs::someTextNull() const {
  for (char **place : texts_) {
    if (*place == nullptr) return true;
  }
  return false;
}

bool Outputs::asExpected() const {
  for (const auto &check : checks_) {
    if (!check()) return false;
  }
  return true;
}

}  // namespace qel::test

// SPDX-License-Identifier: Apache-2.0
// Owners for the texts and blocks that the library hands out and the caller must free().
#pragma once

#include <cstdlib>
#include <string>

namespace qel::cli {

template <typename T>
class Heap {
 public:
  Heap() = default;
  Heap(const Heap &) = delete;
  Heap &operator=(const Heap &) = delete;
  ~Heap() { std::free(pointer_); }

  // Where the library writes the pointer; whatever was held before is released first.
  T **out() {
    std::free(pointer_);
    pointer_ = nullptr;
    return &pointer_;
  }
  T *get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  T *pointer_ = nullptr;
};

using HeapText = Heap<char>;

inline std::string textOf(const HeapText &text) { return text ? text.get() : ""; }

// The identifier array of qelGetSensorList: each entry and then the array are freed.
class HeapTextArray {
 public:
  HeapTextArray() = default;
  HeapTextArray(const HeapTextArray &) = delete;
  HeapTextArray &operator=(const HeapTextArray &) = delete;
  ~HeapTextArray() {
    for (unsigned i = 0; i < count_; ++i) std::free(texts_[i]);
    std::free(texts_);
  }

  unsigned *count() { return &count_; }
  char ***texts() { return &texts_; }
  const char *operator[](unsigned i) const { return texts_[i]; }
  unsigned size() const { return count_; }

 private:
  unsigned count_ = 0;
  char **texts_ = nullptr;
};

}  // namespace qel::cli

// SPDX-License-Identifier: Apache-2.0
#include "tools/heap_texts.hpp"

#include <cstdlib>

namespace qel::tools {

std::string takenText(char *text) {
  std::string result = text ? text : "";
  std::free(text);
  return result;
}

std::vector<std::string> takenTexts(char **list, unsigned count) {
  std::vector<std::string> texts;
  texts.reserve(count);
  for (unsigned i = 0; i < count; ++i) texts.push_back(takenText(list[i]));
  std::free(list);
  return texts;
}

}  // namespace qel::tools

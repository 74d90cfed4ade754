// A small well-formedness check for the server's XML reports: one root element, every element
// closed in order, attribute values quoted, only the predefined entities, nothing outside the
// root but the declaration and white space.
#pragma once

#include <cctype>
#include <regex>
#include <string>
#include <vector>

namespace qel::test {

// Empty when `text` is well formed, otherwise what is wrong.
inline std::string xmlProblem(const std::string &text) {
  static const std::regex declaration(R"(^<\?xml version="1\.0"( encoding="[^"]+")?\?>\s*)");
  static const std::regex tag(
      R"(^<(/?)([A-Za-z_][\w.-]*)((\s+[A-Za-z_][\w.-]*="[^"<]*")*)\s*(/?)>)");
  static const std::regex entity(R"(^&(amp|lt|gt|quot|apos);)");
  std::smatch match;
  std::size_t at = 0;
  if (!std::regex_search(text, match, declaration)) return "no XML declaration";
  at = match.length(0);
  std::vector<std::string> open;
  bool rootSeen = false;
  while (at < text.size()) {
    const char c = text[at];
    const std::string rest = text.substr(at, 512);
    if (c == '<') {
      if (!std::regex_search(rest, match, tag)) return "malformed tag at " + std::to_string(at);
      const bool closing = match[1].length() > 0, empty = match[5].length() > 0;
      const std::string name = match[2];
      if (closing) {
        if (open.empty() || open.back() != name) return "unbalanced </" + name + ">";
        open.pop_back();
      } else {
        if (open.empty() && rootSeen) return "second root element <" + name + ">";
        rootSeen = true;
        if (!empty) open.push_back(name);
      }
      at += match.length(0);
    } else if (c == '&') {
      if (!std::regex_search(rest, match, entity)) return "bad entity at " + std::to_string(at);
      at += match.length(0);
    } else {
      if (open.empty() && !std::isspace(static_cast<unsigned char>(c))) {
        return "text outside the root at " + std::to_string(at);
      }
      ++at;
    }
  }
  if (!rootSeen) return "no root element";
  if (!open.empty()) return "<" + open.back() + "> not closed";
  return "";
}

}  // namespace qel::test

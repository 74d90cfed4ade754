// SPDX-License-Identifier: Apache-2.0
#include "exporter/web_config.hpp"

#include <fstream>
#include <sstream>

namespace qel::exporter {
namespace {

constexpr std::size_t kLargestDocument = 64 * 1024;
constexpr const char *kBlockOnly = "only block mappings and plain or quoted texts are supported";

// A document that does not fit; caught in parseWebConfig and turned into its one-line reason.
struct Unfit {
  std::string reason;
};

[[noreturn]] void unfit(int line, const std::string &what) {
  throw Unfit{"line " + std::to_string(line) + ": " + what};
}

// A block mapping's entry under its key: a scalar, or a mapping of its own (empty for a key
// with nothing).
struct Node {
  std::string key;
  int line = 0;
  bool scalar = false;
  std::string text;
  std::vector<Node> entries;
};

struct Line {
  int number;
  std::size_t indent;
  std::string_view text;  // without indentation, comment or trailing blanks
};

std::string_view withoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A plain scalar ends at " #"; a quoted one at its closing quote.
std::string_view withoutComment(std::string_view text) {
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == '\\' && quote == '"') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if ((c == '\'' || c == '"') && (i == 0 || text[i - 1] == ' ')) {
      quote = c;
    } else if (c == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t')) {
      return withoutTrailingBlanks(text.substr(0, i));
    }
  }
  return withoutTrailingBlanks(text);
}

std::vector<Line> linesOf(std::string_view document) {
  std::vector<Line> lines;
  int number = 0;
  bool started = false;
  while (!document.empty()) {
    const std::size_t end = document.find('\n');
    std::string_view text = document.substr(0, end);
    document.remove_prefix(end == std::string_view::npos ? document.size() : end + 1);
    ++number;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::size_t indent = text.find_first_not_of(' ');
    if (indent == std::string_view::npos) continue;
    if (text[indent] == '\t') unfit(number, "a tab in the indentation");
    text = withoutComment(text.substr(indent));
    if (text.empty()) continue;
    if (!started && indent == 0 && text == "---") {
      started = true;
      continue;
    }
    started = true;
    lines.push_back({number, indent, text});
  }
  return lines;
}

// The value of a double-quoted scalar, `text` its inside.
std::string doubleQuoted(std::string_view text, int line) {
  std::string value;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      value += text[i];
      continue;
    }
    if (++i == text.size()) unfit(line, "a quoted text ends with a backslash");
    switch (text[i]) {
      case '\\':
      case '"':
      case '/':
        value += text[i];
        break;
      case 'n':
        value += '\n';
        break;
      case 't':
        value += '\t';
        break;
      default:
        unfit(line, std::string("an escape \\") + text[i] + " that is not supported");
    }
  }
  return value;
}

std::string scalar(std::string_view text, int line) {
  const char first = text.front();
  if (first == '\'' || first == '"') {
    if (text.size() < 2 || text.back() != first) unfit(line, "a quoted text is not closed");
    const std::string_view inside = text.substr(1, text.size() - 2);
    if (first == '"') return doubleQuoted(inside, line);
    std::string value;
    for (std::size_t i = 0; i < inside.size(); ++i) {
      if (inside[i] == '\'' && (++i == inside.size() || inside[i] != '\'')) {
        unfit(line, "a single quote inside a single-quoted text is not doubled");
      }
      value += inside[i];
    }
    return value;
  }
  if (std::string_view("[{&*!|>%@`-?").find(first) != std::string_view::npos) {
    unfit(line, kBlockOnly);
  }
  return std::string(text);
}

// The entries of lines[at...] indented by `indent`, up to the first line indented less.
Node mapping(const std::vector<Line> &lines, std::size_t &at, std::size_t indent, int line) {
  Node node;
  node.line = line;
  while (at < lines.size() && lines[at].indent >= indent) {
    const Line &current = lines[at];
    if (current.indent != indent) unfit(current.number, "unexpected indentation");
    if (current.text == "-" || current.text.starts_with("- ")) unfit(current.number, kBlockOnly);
    const std::size_t colon = current.text.find(": ");
    const bool bare = colon == std::string_view::npos && current.text.back() == ':';
    if (colon == std::string_view::npos && !bare) unfit(current.number, "not \"key: value\"");
    const std::string key =
        scalar(current.text.substr(0, bare ? current.text.size() - 1 : colon), current.number);
    for (const Node &known : node.entries) {
      if (known.key == key) unfit(current.number, "\"" + key + "\" is given twice");
    }
    ++at;
    Node value;
    if (!bare) {
      value.line = current.number;
      value.scalar = true;
      value.text = scalar(withoutTrailingBlanks(current.text.substr(colon + 2)), current.number);
    } else if (at < lines.size() && lines[at].indent > indent) {
      value = mapping(lines, at, lines[at].indent, current.number);
    } else {
      value.line = current.number;
    }
    value.key = key;
    node.entries.push_back(std::move(value));
  }
  return node;
}

const Node &section(const Node &node, const std::string &name) {
  if (node.scalar) unfit(node.line, "\"" + name + "\" is not a mapping");
  return node;
}

std::string text(const Node &node, const std::string &name) {
  if (!node.scalar || node.text.empty()) unfit(node.line, "\"" + name + "\" needs a value");
  return node.text;
}

std::string pathIn(const std::string &directory, const std::string &file) {
  return file.front() == '/' ? file : directory + file;
}

void readTls(const Node &node, const std::string &directory, WebConfig &config) {
  for (const Node &value : section(node, "tls_server_config").entries) {
    const std::string &key = value.key;
    if (key == "cert_file") {
      config.certificate = pathIn(directory, text(value, key));
    } else if (key == "key_file") {
      config.key = pathIn(directory, text(value, key));
    } else {
      unfit(value.line, "\"tls_server_config\": \"" + key + "\" is not supported");
    }
  }
  if (config.certificate.empty() || config.key.empty()) {
    unfit(node.line, "\"tls_server_config\" needs both \"cert_file\" and \"key_file\"");
  }
}

void readUsers(const Node &node, WebConfig &config) {
  for (const Node &hash : section(node, "basic_auth_users").entries) {
    const std::string &user = hash.key;
    const std::string value = text(hash, user);
    if (user.empty() || user.find(':') != std::string::npos) {
      unfit(hash.line, "\"" + user + "\" is not a user name (empty, or with a colon)");
    }
    if (!value.starts_with("$2a$") && !value.starts_with("$2b$") && !value.starts_with("$2y$")) {
      unfit(hash.line, "the password of \"" + user + "\" is not a bcrypt hash ($2y$...)");
    }
    config.users.emplace_back(user, value);
  }
}

WebConfig webConfig(std::string_view document, const std::string &directory) {
  if (document.size() > kLargestDocument) throw Unfit{"larger than 64 KiB"};
  const std::vector<Line> lines = linesOf(document);
  std::size_t at = 0;
  const Node top = mapping(lines, at, lines.empty() ? 0 : lines.front().indent, 1);
  WebConfig config;
  for (const Node &value : top.entries) {
    const std::string &key = value.key;
    if (key == "tls_server_config") {
      readTls(value, directory, config);
    } else if (key == "basic_auth_users") {
      readUsers(value, config);
    } else {
      unfit(value.line, "\"" + key + "\" is not supported");
    }
  }
  return config;
}

}  // namespace

std::optional<WebConfig> parseWebConfig(std::string_view document, const std::string &directory,
                                        std::string &error) {
  try {
    return webConfig(document, directory);
  } catch (const Unfit &unfit) {
    error = unfit.reason;
  }
  return std::nullopt;
}

std::optional<WebConfig> loadWebConfig(const std::string &path, std::string &error) {
  std::ifstream file(path);
  if (!file) {
    error = path + ": cannot read it";
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  const std::size_t slash = path.find_last_of('/');
  auto config = parseWebConfig(text.str(),
                               slash == std::string::npos ? "" : path.substr(0, slash + 1), error);
  if (!config) error = path + ": " + error;
  return config;
}

}  // namespace qel::exporter

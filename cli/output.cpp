// SPDX-License-Identifier: Apache-2.0
#include "cli/output.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace qel::cli {

Json floatValue(float value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer - 1, value);
  if (error != std::errc()) return static_cast<double>(value);
  *end = '\0';
  return std::strtod(buffer, nullptr);
}

std::string humanValue(const Json &value) {
  if (value.is_null()) return "-";
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if (value.is_array()) {
    std::string joined;
    for (const auto &item : value) {
      if (!joined.empty()) joined += ", ";
      joined += humanValue(item);
    }
    return joined;
  }
  return value.dump();
}

Record &Record::field(std::string key, Json value, std::string label) {
  if (label.empty()) label = key;
  entries_.push_back({Kind::kField, std::move(key), std::move(label), std::move(value), {}});
  return *this;
}

Record &Record::text(std::string key, std::string body) {
  entries_.push_back({Kind::kText, std::move(key), {}, std::move(body), {}});
  return *this;
}

Record &Record::lines(std::string key, std::vector<std::string> items) {
  entries_.push_back({Kind::kLines, std::move(key), {}, Json(std::move(items)), {}});
  return *this;
}

Record &Record::table(std::string key, std::vector<Column> columns, Json rows) {
  entries_.push_back({Kind::kTable, std::move(key), {}, std::move(rows), std::move(columns)});
  return *this;
}

namespace {

void writeTable(std::ostream &out, const std::vector<Column> &columns, const Json &rows) {
  std::vector<std::vector<std::string>> cells;
  std::vector<std::string> headings;
  for (const auto &column : columns) headings.push_back(column.heading);
  cells.push_back(headings);
  for (const auto &row : rows) {
    std::vector<std::string> line;
    for (const auto &column : columns) line.push_back(humanValue(row.value(column.key, Json())));
    cells.push_back(std::move(line));
  }
  std::vector<std::size_t> widths(columns.size(), 0);
  for (const auto &line : cells) {
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  for (const auto &line : cells) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      text += line[i];
      if (i + 1 < line.size()) text += std::string(widths[i] - line[i].size() + 2, ' ');
    }
    out << text << '\n';
  }
}

}  // namespace

void Record::writeHuman(std::ostream &out) const {
  std::size_t labelWidth = 0;
  for (const auto &entry : entries_) {
    if (entry.kind == Kind::kField) labelWidth = std::max(labelWidth, entry.label.size());
  }
  for (const auto &entry : entries_) {
    switch (entry.kind) {
      case Kind::kField: {
        const auto value = humanValue(entry.value);
        out << entry.label << ':';
        if (!value.empty()) out << std::string(labelWidth - entry.label.size() + 1, ' ') << value;
        out << '\n';
        break;
      }
      case Kind::kText: {
        const auto &body = entry.value.get_ref<const std::string &>();
        out << body;
        if (!body.empty() && body.back() != '\n') out << '\n';
        break;
      }
      case Kind::kLines:
        for (const auto &item : entry.value) out << humanValue(item) << '\n';
        break;
      case Kind::kTable:
        writeTable(out, entry.columns, entry.value);
        break;
    }
  }
}

void Record::addTo(Json &document) const {
  for (const auto &entry : entries_) document[entry.key] = entry.value;
}

}  // namespace qel::cli

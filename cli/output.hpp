// SPDX-License-Identifier: Apache-2.0
// What a command shows: one record, written as aligned text for people or as one JSON document
// for scripts. Commands describe their output once; both forms come from the same entries.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace qel::cli {

using Json = nlohmann::ordered_json;

// A float as the shortest decimal that reads back as the same float (0.1f shows as 0.1).
Json floatValue(float value);

// One table column: the key of its cells in each row, and its heading.
struct Column {
  std::string key;
  std::string heading;
};

class Record {
 public:
  // A "label: value" line; the label defaults to the key.
  Record &field(std::string key, Json value, std::string label = {});
  // A block printed as it is, such as a report.
  Record &text(std::string key, std::string body);
  // One line per item.
  Record &lines(std::string key, std::vector<std::string> items);
  // Rows of objects under their column keys, printed as a table with headings.
  Record &table(std::string key, std::vector<Column> columns, Json rows);

  void writeHuman(std::ostream &out) const;
  // The entries keyed into `document`, in order.
  void addTo(Json &document) const;

 private:
  enum class Kind { kField, kText, kLines, kTable };
  struct Entry {
    Kind kind;
    std::string key;
    std::string label;
    Json value;
    std::vector<Column> columns;
  };
  std::vector<Entry> entries_;
};

// How a JSON value reads in human output: strings bare, null as "-", booleans as yes/no, arrays
// joined by ", ".
std::string humanValue(const Json &value);

}  // namespace qel::cli

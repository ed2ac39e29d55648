// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reads tests/data/entries.tsv, the one table of entries and what every
// front end must say of them.

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace mivaro::testing {

struct EntryRow {
  std::string name;
  std::string entry;
  std::string number;  // "" for null
  bool valid = false;
  std::string check;
  std::optional<int> sum;
  std::string group;
  std::string regions;  // captions separated by spaces
  std::string error;
};

// Appends a code point as UTF-8.
inline void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Undoes the table's C-like escapes: \t \n \r \\ \" \xNN (a byte) \uNNNN.
inline std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\' || at + 1 == text.size()) {
      out += text[at];
      continue;
    }
    const char kind = text[++at];
    if (kind == 'x' || kind == 'u') {
      const std::size_t digits = kind == 'x' ? 2 : 4;
      const unsigned code = std::stoul(text.substr(at + 1, digits), nullptr, 16);
      at += digits;
      if (kind == 'x') {
        out += static_cast<char>(code);
      } else {
        AppendUtf8(out, code);
      }
    } else {
      out += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind;
    }
  }
  return out;
}

inline std::vector<EntryRow> ReadEntryTable() {
  std::ifstream in(MIVARO_ENTRY_TABLE, std::ios::binary);
  std::vector<EntryRow> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    fields.resize(9);
    EntryRow row{fields[0], Unescaped(fields[1]), fields[2], fields[3] == "true",
                 fields[4], std::nullopt,         fields[6], fields[7],
                 fields[8]};
    if (!fields[5].empty()) row.sum = std::stoi(fields[5]);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace mivaro::testing

// SPDX-License-Identifier: Apache-2.0
#include "cli/csv.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mivaro::cli {

using namespace std::string_view_literals;

namespace {

// Whether a field holds the delimiter, a quote or a line break, eight bytes
// at a time: a byte equals c where the word xor c has a zero byte.
bool NeedsQuotes(std::string_view field, char delimiter) {
  if (field.empty()) return false;
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const auto holds = [](std::uint64_t word, char c) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return (x - kOnes) & ~x & kHighs;
  };
  const auto special = [&](std::uint64_t word) {
    return (holds(word, '"') | holds(word, '\r') | holds(word, '\n') | holds(word, delimiter)) != 0;
  };
  // A field shorter than a word is padded with its own first byte, which
  // answers for itself.
  std::uint64_t word = kOnes * static_cast<unsigned char>(field.front());
  if (field.size() < sizeof word) {
    std::memcpy(&word, field.data(), field.size());
    return special(word);
  }
  for (std::size_t at = 0; at + sizeof word < field.size(); at += sizeof word) {
    std::memcpy(&word, field.data() + at, sizeof word);
    if (special(word)) return true;
  }
  std::memcpy(&word, field.data() + field.size() - sizeof word, sizeof word);
  return special(word);
}

bool StartsLikeAFormula(std::string_view field) {
  if (field.empty()) return false;
  switch (field.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
      return true;
    default:
      return false;
  }
}

}  // namespace

void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter, CellOrigin origin,
                    Quoting quoting) {
  // A cell that starts like a formula would run as one when a spreadsheet
  // opens the file; a leading apostrophe makes it text (OWASP's advice).
  const bool formula = origin == CellOrigin::Tool && StartsLikeAFormula(field);
  const bool quoted = formula || quoting == Quoting::Always || NeedsQuotes(field, delimiter);
  if (!quoted) {
    out += field;
    return;
  }
  // Room for the whole field at once: a cell can be megabytes long.
  out.Reserve(field.size() + static_cast<std::size_t>(std::count(field.begin(), field.end(), '"')) +
              3);
  out += '"';
  if (formula) out += '\'';
  for (std::size_t at = 0; at < field.size();) {
    const std::size_t quote = std::min(field.find('"', at), field.size());
    out += field.substr(at, quote - at);
    if (quote == field.size()) break;
    out += "\"\""sv;
    at = quote + 1;
  }
  out += '"';
}

}  // namespace mivaro::cli

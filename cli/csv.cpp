// SPDX-License-Identifier: Apache-2.0
#include "cli/csv.h"

#include <algorithm>
#include <cstdint>

#include "cli/words.h"

namespace mivaro::cli {

using namespace std::string_view_literals;

namespace {

// Whether a field holds the delimiter, a quote or a line break, eight bytes
// at a time; a short field is padded with its own first byte, which answers
// for itself.
bool NeedsQuotes(std::string_view field, char delimiter) {
  if (field.empty()) return false;
  return AnyWord(field, field.front(), [delimiter](std::uint64_t word) {
    return BytesEqual(word, '"') | BytesEqual(word, '\r') | BytesEqual(word, '\n') |
           BytesEqual(word, delimiter);
  });
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

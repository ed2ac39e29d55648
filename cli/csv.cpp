// SPDX-License-Identifier: Apache-2.0
#include "cli/csv.h"

#include <algorithm>

namespace mivaro::cli {

using namespace std::string_view_literals;

void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter, CellOrigin origin,
                    Quoting quoting) {
  // A cell that starts like a formula would run as one when a spreadsheet
  // opens the file; a leading apostrophe makes it text (OWASP's advice).
  const bool formula = origin == CellOrigin::Tool && !field.empty() &&
                       std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
  bool special = false;
  for (const char c : field) {  // no branch: most cells are short
    special |= (c == '"') | (c == '\r') | (c == '\n') | (c == delimiter);
  }
  const bool quoted = formula || special || quoting == Quoting::Always;
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

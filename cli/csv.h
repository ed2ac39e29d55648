// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string_view>

#include "cli/text_buffer.h"

namespace mivaro::cli {

// Where a CSV cell comes from. The tool's own cells never start a formula;
// the user's cells are passed through as they are.
enum class CellOrigin { Tool, User };

// Whether a CSV field is quoted only where RFC 4180 needs it, or always.
enum class Quoting { AsNeeded, Always };

// Appends one CSV field: quoted when it holds the delimiter, a quote or a line
// break (quotes inside doubled), and, when it is the tool's own, made inert
// with a leading apostrophe inside quotes when it starts like a spreadsheet
// formula (= + - @, tab, CR). The one writer of CSV cells, for validate's
// records and annotate's tables alike.
void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter,
                    CellOrigin origin = CellOrigin::Tool, Quoting quoting = Quoting::AsNeeded);

}  // namespace mivaro::cli

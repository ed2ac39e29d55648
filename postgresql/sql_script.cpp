// SPDX-License-Identifier: Apache-2.0
// Writes the extension's SQL script from its template, filling in what the
// library decides: the columns of sin_check_result, which are the library's
// record fields in their order (their SQL types are this extension's
// translation), the least confidence sin_find and sin_redact report by
// default, and the version. Usage: sql_script TEMPLATE OUTPUT
#include <mivaro/record.h>
#include <mivaro/scan.h>

#include <array>
#include <string>
#include <string_view>

#include "tools/fill_template.h"

namespace {

// Each record field's SQL type, by the field's place.
constexpr std::array<std::string_view, mivaro::kRecordFields.size()> kColumnTypes{
    "text", "text", "boolean", "text", "integer", "text", "text[]", "text"};

// The columns, each name quoted: check and group are words of SQL.
std::string RecordColumns() {
  std::string columns;
  for (std::size_t field = 0; field < mivaro::kRecordFields.size(); ++field) {
    if (field != 0) columns += ",\n";
    columns.append("  \"").append(mivaro::kRecordFields[field]).append("\" ");
    columns += kColumnTypes[field];
  }
  return columns;
}

}  // namespace

int main(int argc, char** argv) {
  const mivaro::tools::Fact facts[] = {
      {"@RECORD_COLUMNS@", RecordColumns()},
      {"@DEFAULT_CONFIDENCE@", std::string(mivaro::ConfidenceName(mivaro::kDefaultConfidence))},
      {"@PROJECT_VERSION@", std::string(mivaro::Version())},
  };
  return mivaro::tools::FillTemplate(argc, argv, facts);
}

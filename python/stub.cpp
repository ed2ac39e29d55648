// SPDX-License-Identifier: Apache-2.0
// Writes the package's type stubs from their template, filling in what the
// library decides: Result's properties, which are the library's record fields
// in their order (their Python types are this module's translation), the
// confidences' names and the one find and redact take by default.
// Usage: stub TEMPLATE OUTPUT
#include <mivaro/record.h>
#include <mivaro/scan.h>

#include <array>
#include <string>
#include <string_view>

#include "tools/fill_template.h"

namespace {

// Each record field's Python type, by the field's place.
constexpr std::array<std::string_view, mivaro::kRecordFields.size()> kPropertyTypes{
    "str",        "str | None",      "bool",      "str | None", "int | None",
    "str | None", "tuple[str, ...]", "str | None"};

std::string ResultProperties() {
  std::string properties;
  for (std::size_t field = 0; field < mivaro::kRecordFields.size(); ++field) {
    if (field != 0) properties += '\n';
    properties.append("    @property\n    def ").append(mivaro::kRecordFields[field]);
    properties.append("(self) -> ").append(kPropertyTypes[field]).append(": ...");
  }
  return properties;
}

}  // namespace

int main(int argc, char** argv) {
  const mivaro::tools::Fact facts[] = {
      {"@RESULT_PROPERTIES@", ResultProperties()},
      {"@CONFIDENCE_NAMES@", mivaro::tools::JoinQuoted(mivaro::kConfidenceNames, "\"", ", ")},
      {"@DEFAULT_CONFIDENCE@", std::string(mivaro::ConfidenceName(mivaro::kDefaultConfidence))},
  };
  return mivaro::tools::FillTemplate(argc, argv, facts);
}

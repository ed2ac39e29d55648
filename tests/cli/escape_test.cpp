// SPDX-License-Identifier: Apache-2.0
#include "cli/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace mivaro::cli {
namespace {

struct EscapeRow {
  const char* name;
  std::string text;
  std::string json;
  std::string printable;
};

void PrintTo(const EscapeRow& row, std::ostream* os) {
  *os << row.name;
}

const EscapeRow kEscapeRows[] = {
    {"plain", "123 456-782", "123 456-782", "123 456-782"},
    {"quote and backslash", "a\"b\\c", "a\\\"b\\\\c", "a\"b\\c"},
    {"named controls", "\t\r\n\b\f", "\\t\\r\\n\\b\\f", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"NUL and escape", std::string("\0\x1B", 2), "\\u0000\\u001b", "\uFFFD\uFFFD"},
    {"delete", "\x7F", "\\u007f", "\uFFFD"},
    {"accents kept", "\u00E9t\u00E9", "\u00E9t\u00E9", "\u00E9t\u00E9"},
    {"invalid bytes replaced",
     "1\xFF\xFE"
     "2",
     "1\uFFFD\uFFFD"
     "2",
     "1\uFFFD\uFFFD"
     "2"},
    {"C1 control", "\xC2\x85", "\xC2\x85", "\uFFFD"},
    {"invisible and bidi format characters", "\uFEFF1\u200B2\u202E3\u2066",
     "\uFEFF1\u200B2\u202E3\u2066", "\uFFFD1\uFFFD2\uFFFD3\uFFFD"},
};

class EscapeRows : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(EscapeRows, EscapesForJsonAndReplacesForPrinting) {
  TextBuffer json;
  AppendJsonEscaped(json, GetParam().text);
  EXPECT_EQ(json.View(), GetParam().json);
  TextBuffer printable;
  AppendPrintable(printable, GetParam().text);
  EXPECT_EQ(printable.View(), GetParam().printable);
}

INSTANTIATE_TEST_SUITE_P(Texts, EscapeRows, ::testing::ValuesIn(kEscapeRows));

}  // namespace
}  // namespace mivaro::cli

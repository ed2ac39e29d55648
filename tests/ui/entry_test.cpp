// SPDX-License-Identifier: Apache-2.0
#include "ui/entry.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mivaro {
namespace {

struct EntryRow {
  std::string_view name;
  std::string entry;
  EntryKind kind;
};

void PrintTo(const EntryRow& row, std::ostream* os) {
  *os << row.name;
}

const EntryRow kRows[] = {
    {"empty", "", EntryKind::TooShort},
    {"eight digits", "12345678", EntryKind::TooShort},
    {"nine digits", "123456782", EntryKind::WellFormed},
    {"nine zeros", "000000000", EntryKind::WellFormed},
    {"ten digits", "1234567823", EntryKind::TooLong},
    {"nine letters", "abcdefghi", EntryKind::NotDigitsOnly},
    {"a letter among digits", "12345678a", EntryKind::NotDigitsOnly},
    {"short with a letter", "12a", EntryKind::NotDigitsOnly},
    {"inner space", "1234 5678", EntryKind::NotDigitsOnly},
    {"trailing space on nine digits", "123456782 ", EntryKind::TooLong},
    {"only spaces", "   ", EntryKind::NotDigitsOnly},
    {"hyphenated", "123-456-782", EntryKind::TooLong},
    // U+FF11.. FULLWIDTH DIGIT: nine characters, 27 bytes, none of them 0-9.
    {"fullwidth digits", "\uFF11\uFF12\uFF13\uFF14\uFF15\uFF16\uFF17\uFF18\uFF12",
     EntryKind::NotDigitsOnly},
    // U+0661.. ARABIC-INDIC DIGIT.
    {"arabic-indic digits", "\u0661\u0662\u0663", EntryKind::NotDigitsOnly},
    // Eight digits and one emoji: nine characters though twelve bytes.
    {"emoji", "12345678\U0001F600", EntryKind::NotDigitsOnly},
    {"ten emoji",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600",
     EntryKind::TooLong},
    {"invalid UTF-8", "1234\xFF\xFE", EntryKind::NotDigitsOnly},
    {"embedded NUL",
     std::string("1234\0"
                 "5678",
                 9),
     EntryKind::NotDigitsOnly},
    {"very long paste", std::string(1'000'000, '1'), EntryKind::TooLong},
};

class ClassifyEntryRows : public ::testing::TestWithParam<EntryRow> {};

TEST_P(ClassifyEntryRows, SortsTheEntryIntoItsKind) {
  EXPECT_EQ(ClassifyEntry(GetParam().entry), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Entries, ClassifyEntryRows, ::testing::ValuesIn(kRows));

}  // namespace
}  // namespace mivaro

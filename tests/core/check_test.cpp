// SPDX-License-Identifier: Apache-2.0
// The grammar of an entry: what Check and EntryReader take for a SIN, and
// why they refuse the rest; both held to the grammar's own reading.
#include <gtest/gtest.h>

#include <string>

#include "entry_grammar.h"
#include "mivaro/sin.h"

namespace mivaro {
namespace {

struct ParseRow {
  const char* name;
  std::string entry;
  std::string digits;  // "" when malformed
  Error error;
};

void PrintTo(const ParseRow& row, std::ostream* os) {
  *os << row.name;
}

const ParseRow kRows[] = {
    {"bare", "123456782", "123456782", Error::Ok},
    {"spaced groups", "123 456 782", "123456782", Error::Ok},
    {"dashed groups", "123-456-782", "123456782", Error::Ok},
    {"blanks around", " \t 123-456-782 \t", "123456782", Error::Ok},
    {"CR of a CR LF ending", "123456782\r", "123456782", Error::Ok},
    {"nine zeros, the placeholder for a missing SIN", "000 000 000", "", Error::Placeholder},
    {"empty", "", "", Error::Empty},
    {"blanks only", "   \t ", "", Error::Empty},
    {"eight digits", "12345678", "", Error::NotNineDigits},
    {"short groups", "123 456 78", "", Error::NotNineDigits},
    {"ten digits", "1234567823", "", Error::TooLong},
    {"ten grouped digits", "123-456-7823", "", Error::TooLong},
    {"nine letters", "abcdefghi", "", Error::NotDigitsOnly},
    {"ten letters", "abcdefghij", "", Error::TooLong},
    {"a letter", "12345678a", "", Error::NotDigitsOnly},
    {"fullwidth digits", "\uFF11\uFF12\uFF13\uFF14\uFF15\uFF16\uFF17\uFF18\uFF12", "",
     Error::NotDigitsOnly},
    {"embedded NUL",
     std::string("1234\0"
                 "5678",
                 9),
     "", Error::NotDigitsOnly},
    {"invalid UTF-8", "12345678\xFF", "", Error::NotUtf8},
    {"invalid UTF-8 among blanks", "123456782 \xE9", "", Error::NotUtf8},
    {"mixed separators", "123 456-782", "", Error::BadGrouping},
    {"double space", "123  456 782", "", Error::BadGrouping},
    {"groups of four", "1234 5678 2", "", Error::BadGrouping},
    {"tab between groups", "123\t456\t782", "", Error::BadGrouping},
    {"leading hyphen", "-123456782", "", Error::BadGrouping},
    {"a million digits", std::string(1'000'000, '7'), "", Error::TooLong},
    {"digits after a long blank run", std::string(1000, ' ') + "123456782", "123456782", Error::Ok},
    // Blanks that spreadsheets, editors and shells leave around cells.
    {"byte-order mark before", "\uFEFF123456782", "123456782", Error::Ok},
    {"no-break space after", "046 454 286\u00A0", "046454286", Error::Ok},
    {"line feed after an argument", "123456782\n", "123456782", Error::Ok},
    {"zero width and ideographic spaces around", "\u200B\u3000123-456-782\u2003", "123456782",
     Error::Ok},
    // What spreadsheets make of a SIN.
    {"no-break spaces between groups", "123\u00A0456\u00A0782", "123456782", Error::Ok},
    {"narrow no-break spaces between groups", "046\u202F454\u202F286", "046454286", Error::Ok},
    {"commas between groups", "123,456,782", "123456782", Error::Ok},
    {"a spreadsheet's text mark", "'046454286", "046454286", Error::Ok},
    {"mixed thousands separators", "123,456\u00A0782", "", Error::BadGrouping},
    {"scientific notation", "4.6454286E+7", "", Error::Reformatted},
    {"scientific notation with a decimal comma", "1,23457E+08", "", Error::Reformatted},
    {"a decimal part", "123456782.0", "", Error::Reformatted},
    {"a decimal comma after grouped thousands", "123\u00A0456\u00A0782,00", "", Error::Reformatted},
    {"commas, but no decimal part", "12,345,678", "", Error::NotNineDigits},
    {"eight digits, a leading zero lost", "46454286", "", Error::LeadingZeroLost},
    {"eight digits that no leading zero saves", "46454287", "", Error::NotNineDigits},
    {"an apostrophe alone", "'", "", Error::Empty},
    // Lengths are counted in characters, as the window counts them.
    {"nine four-byte characters",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600",
     "", Error::NotDigitsOnly},
    {"ten four-byte characters",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600\U0001F600",
     "", Error::TooLong},
    {"a million lone continuation bytes", std::string(1'000'000, '\x80'), "", Error::NotUtf8},
};

class ParseEntryRows : public ::testing::TestWithParam<ParseRow> {};

// Check's fast routes give what the grammar itself gives, and IsValid its
// verdict.
TEST_P(ParseEntryRows, FindsTheDigitsOrTheReason) {
  const Result result = Check(GetParam().entry);
  EXPECT_EQ(result.NumberText(), GetParam().digits);
  EXPECT_EQ(result.error, GetParam().error);
  const Result defined = detail::CheckByGrammar(GetParam().entry);
  EXPECT_EQ(defined.NumberText(), result.NumberText());
  EXPECT_EQ(defined.error, result.error);
  EXPECT_EQ(defined.valid, result.valid);
  EXPECT_EQ(IsValid(GetParam().entry), result.valid);
}

TEST_P(ParseEntryRows, GivesTheSameAnswerWhenTheEntryArrivesInPieces) {
  const std::string& entry = GetParam().entry;
  const Result whole = Check(entry);
  // Every split point for short entries, a spread of them for long ones.
  const std::size_t step = entry.size() > 64 ? entry.size() / 37 + 1 : 1;
  for (std::size_t split = 0; split <= entry.size(); split += step) {
    SCOPED_TRACE(split);
    EntryReader reader;
    reader.Feed(std::string_view(entry).substr(0, split));
    reader.Feed(std::string_view(entry).substr(split));
    const Result pieces = reader.Finish();
    EXPECT_EQ(pieces.NumberText(), whole.NumberText());
    EXPECT_EQ(pieces.error, whole.error);
    EXPECT_EQ(pieces.valid, whole.valid);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, ParseEntryRows, ::testing::ValuesIn(kRows));

}  // namespace
}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#include "cli/entry_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace mivaro::cli {
namespace {

struct ParseRow {
  const char* name;
  std::string entry;
  std::string digits;  // "" when malformed
  Malformed error;
};

void PrintTo(const ParseRow& row, std::ostream* os) {
  *os << row.name;
}

const ParseRow kRows[] = {
    {"bare", "123456782", "123456782", Malformed::None},
    {"spaced groups", "123 456 782", "123456782", Malformed::None},
    {"dashed groups", "123-456-782", "123456782", Malformed::None},
    {"blanks around", " \t 123-456-782 \t", "123456782", Malformed::None},
    {"CR of a CR LF ending", "123456782\r", "123456782", Malformed::None},
    {"nine zeros, the placeholder for a missing SIN", "000 000 000", "", Malformed::Placeholder},
    {"empty", "", "", Malformed::Empty},
    {"blanks only", "   \t ", "", Malformed::Empty},
    {"eight digits", "12345678", "", Malformed::NotNineDigits},
    {"short groups", "123 456 78", "", Malformed::NotNineDigits},
    {"ten digits", "1234567823", "", Malformed::TooLong},
    {"ten grouped digits", "123-456-7823", "", Malformed::TooLong},
    {"nine letters", "abcdefghi", "", Malformed::NotDigitsOnly},
    {"ten letters", "abcdefghij", "", Malformed::TooLong},
    {"a letter", "12345678a", "", Malformed::NotDigitsOnly},
    {"fullwidth digits", "\uFF11\uFF12\uFF13\uFF14\uFF15\uFF16\uFF17\uFF18\uFF12", "",
     Malformed::NotDigitsOnly},
    {"embedded NUL",
     std::string("1234\0"
                 "5678",
                 9),
     "", Malformed::NotDigitsOnly},
    {"invalid UTF-8", "12345678\xFF", "", Malformed::NotUtf8},
    {"invalid UTF-8 among blanks", "123456782 \xE9", "", Malformed::NotUtf8},
    {"mixed separators", "123 456-782", "", Malformed::BadGrouping},
    {"double space", "123  456 782", "", Malformed::BadGrouping},
    {"groups of four", "1234 5678 2", "", Malformed::BadGrouping},
    {"tab between groups", "123\t456\t782", "", Malformed::BadGrouping},
    {"leading hyphen", "-123456782", "", Malformed::BadGrouping},
    {"a million digits", std::string(1'000'000, '7'), "", Malformed::TooLong},
    {"digits after a long blank run", std::string(1000, ' ') + "123456782", "123456782",
     Malformed::None},
    // Blanks that spreadsheets, editors and shells leave around cells.
    {"byte-order mark before", "\uFEFF123456782", "123456782", Malformed::None},
    {"no-break space after", "046 454 286\u00A0", "046454286", Malformed::None},
    {"line feed after an argument", "123456782\n", "123456782", Malformed::None},
    {"zero width and ideographic spaces around", "\u200B\u3000123-456-782\u2003", "123456782",
     Malformed::None},
    // What spreadsheets make of a SIN.
    {"no-break spaces between groups", "123\u00A0456\u00A0782", "123456782", Malformed::None},
    {"narrow no-break spaces between groups", "046\u202F454\u202F286", "046454286",
     Malformed::None},
    {"commas between groups", "123,456,782", "123456782", Malformed::None},
    {"a spreadsheet's text mark", "'046454286", "046454286", Malformed::None},
    {"mixed thousands separators", "123,456\u00A0782", "", Malformed::BadGrouping},
    {"scientific notation", "4.6454286E+7", "", Malformed::Reformatted},
    {"scientific notation with a decimal comma", "1,23457E+08", "", Malformed::Reformatted},
    {"a decimal part", "123456782.0", "", Malformed::Reformatted},
    {"a decimal comma after grouped thousands", "123\u00A0456\u00A0782,00", "",
     Malformed::Reformatted},
    {"commas, but no decimal part", "12,345,678", "", Malformed::NotNineDigits},
    {"eight digits, a leading zero lost", "46454286", "", Malformed::LeadingZeroLost},
    {"eight digits that no leading zero saves", "46454287", "", Malformed::NotNineDigits},
    {"an apostrophe alone", "'", "", Malformed::Empty},
    // Lengths are counted in characters, as the window counts them.
    {"nine four-byte characters",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600",
     "", Malformed::NotDigitsOnly},
    {"ten four-byte characters",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600\U0001F600",
     "", Malformed::TooLong},
    {"a million lone continuation bytes", std::string(1'000'000, '\x80'), "", Malformed::NotUtf8},
};

class ParseEntryRows : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseEntryRows, FindsTheDigitsOrTheReason) {
  const ParsedEntry parsed = ParseEntry(GetParam().entry);
  EXPECT_EQ(parsed.digits, GetParam().digits);
  EXPECT_EQ(parsed.error, GetParam().error);
}

TEST_P(ParseEntryRows, GivesTheSameAnswerWhenTheEntryArrivesInPieces) {
  const std::string& entry = GetParam().entry;
  const ParsedEntry whole = ParseEntry(entry);
  // Every split point for short entries, a spread of them for long ones.
  const std::size_t step = entry.size() > 64 ? entry.size() / 37 + 1 : 1;
  for (std::size_t split = 0; split <= entry.size(); split += step) {
    SCOPED_TRACE(split);
    EntryAccumulator accumulator;
    accumulator.Feed(std::string_view(entry).substr(0, split));
    accumulator.Feed(std::string_view(entry).substr(split));
    const ParsedEntry pieces = accumulator.Finish();
    EXPECT_EQ(pieces.digits, whole.digits);
    EXPECT_EQ(pieces.error, whole.error);
    EXPECT_EQ(pieces.input, whole.input);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, ParseEntryRows, ::testing::ValuesIn(kRows));

TEST(ParseEntry, EchoesTheEntryWithoutItsCrCutToOneHundredCharacters) {
  EXPECT_EQ(ParseEntry(" 123 \r").input, " 123 ");
  EXPECT_EQ(ParseEntry("a\rb").input, "a\rb");  // only a final CR is a line ending
  EXPECT_EQ(ParseEntry(std::string(250, 'x')).input, std::string(100, 'x'));
  EXPECT_EQ(ParseEntry(std::string(100, 'x') + "\r").input, std::string(100, 'x'));
  // Whole characters: a hundred two-byte characters are two hundred bytes.
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\u00E9";
  EXPECT_EQ(ParseEntry(accents).input, accents.substr(0, 200));
  // Any bytes: each byte of ill-formed UTF-8 is one character.
  EXPECT_EQ(ParseEntry(std::string(250, '\x80')).input, std::string(100, '\x80'));
  EXPECT_EQ(ParseEntry("\uFEFF123456782").input, "\uFEFF123456782");
}

TEST(EntryAccumulator, StartsAfreshAfterEachEntry) {
  EntryAccumulator accumulator;
  accumulator.Feed(std::string(500, '9'));
  EXPECT_EQ(accumulator.Finish().error, Malformed::TooLong);
  accumulator.Feed("123456782");
  const ParsedEntry next = accumulator.Finish();
  EXPECT_EQ(next.digits, "123456782");
  EXPECT_EQ(next.input, "123456782");
}

}  // namespace
}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#include "cli/entry_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace mivaro::cli {
namespace {

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

TEST(EntryAccumulator, EchoesAndChecksAnEntryInPiecesAsWhole) {
  const std::string kEntries[] = {"123 456 782\r",          "\u00A0046\u202F454\u202F286\u00A0",
                                  std::string(150, '\x80'), std::string(300, '7'),
                                  "12345678\xE9\r",         "\U0001F600 x \u00E9\r"};
  for (const std::string& entry : kEntries) {
    const ParsedEntry whole = ParseEntry(entry);
    for (std::size_t split = 0; split <= entry.size(); ++split) {
      SCOPED_TRACE(entry.substr(0, 20) + " at " + std::to_string(split));
      EntryAccumulator accumulator;
      accumulator.Feed(std::string_view(entry).substr(0, split));
      accumulator.Feed(std::string_view(entry).substr(split));
      const ParsedEntry pieces = accumulator.Finish();
      EXPECT_EQ(pieces.input, whole.input);
      EXPECT_EQ(pieces.digitCount, whole.digitCount);
      EXPECT_EQ(pieces.result.error, whole.result.error);
      EXPECT_EQ(pieces.result.NumberText(), whole.result.NumberText());
    }
  }
}

}  // namespace
}  // namespace mivaro::cli

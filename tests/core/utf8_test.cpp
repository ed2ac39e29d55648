// SPDX-License-Identifier: Apache-2.0
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace mivaro::text {
namespace {

struct DecodeRow {
  const char* name;
  std::string bytes;
  char32_t codePoint;
  std::size_t length;
  bool valid;
};

void PrintTo(const DecodeRow& row, std::ostream* os) {
  *os << row.name;
}

const DecodeRow kDecodeRows[] = {
    {"ASCII", "A", U'A', 1, true},
    {"two bytes", "\xC3\xA9", U'\u00E9', 2, true},
    {"three bytes", "\xEF\xBC\x91", U'\uFF11', 3, true},
    {"four bytes", "\xF0\x9F\x98\x80", U'\U0001F600', 4, true},
    {"largest code point", "\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4, true},
    {"stray continuation", "\x80", 0xFFFD, 1, false},
    {"overlong two bytes", "\xC0\xAF", 0xFFFD, 1, false},
    {"overlong three bytes", "\xE0\x80\xAF", 0xFFFD, 1, false},
    {"surrogate", "\xED\xA0\x80", 0xFFFD, 1, false},
    {"past U+10FFFF", "\xF4\x90\x80\x80", 0xFFFD, 1, false},
    {"cut short", "\xE2\x82", 0xFFFD, 1, false},
    {"bad continuation", "\xE2\x28\xA1", 0xFFFD, 1, false},
    {"byte FF", "\xFF", 0xFFFD, 1, false},
};

class DecodeUtf8Rows : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeUtf8Rows, DecodesWellFormedSequencesAndRejectsTheRestOneByteAtATime) {
  const Utf8Step step = DecodeUtf8(GetParam().bytes, 0);
  EXPECT_EQ(step.codePoint, GetParam().codePoint);
  EXPECT_EQ(step.length, GetParam().length);
  EXPECT_EQ(step.valid, GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Sequences, DecodeUtf8Rows, ::testing::ValuesIn(kDecodeRows));

TEST(CountCharacters, CountsCodePointsNotBytesAndStopsAtTheLimit) {
  EXPECT_EQ(CountCharacters("", 100), 0U);
  EXPECT_EQ(CountCharacters("abc", 100), 3U);
  EXPECT_EQ(CountCharacters("\u00E9t\u00E9", 100), 3U);  // two-byte sequences
  EXPECT_EQ(CountCharacters("\uFF11\uFF12", 100), 2U);   // three-byte sequences
  EXPECT_EQ(CountCharacters("\U0001F600!", 100), 2U);    // a four-byte sequence
  EXPECT_EQ(CountCharacters("\xE2\x82", 100), 2U);       // truncated sequence: bytes
  EXPECT_EQ(CountCharacters("\x80\x80\x80", 100), 3U);   // stray continuation bytes
  EXPECT_EQ(CountCharacters(std::string(50, 'a'), 10), 10U);
}

}  // namespace
}  // namespace mivaro::text

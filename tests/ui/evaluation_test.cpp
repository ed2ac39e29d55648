// SPDX-License-Identifier: Apache-2.0
#include "ui/evaluation.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mivaro {
namespace {

struct EvaluationRow {
  std::string_view entry;
  std::string_view checkString;
  int checkSum;
  bool isValid;
};

void PrintTo(const EvaluationRow& row, std::ostream* os) {
  *os << row.entry;
}

// The published worked examples, one evaluation each.
constexpr EvaluationRow kRows[] = {
    {"000000000", "000000000", 0, false},  // a zero sum does not pass
    {"111111111", "121212121", 13, false},
    {"123456782", "143853772", 40, true},   // 12 folds to 3, 16 to 7
    {"999999998", "999999998", 80, true},   // every 18 folds to 9
    {"999999999", "999999999", 81, false},  // the largest possible sum
    {"555555555", "515151515", 29, false},  // every 10 folds to 1
    {"000000026", "000000046", 10, true},
    {"012345674", "022641654", 30, true},
    {"800000002", "800000002", 10, true},
    {"400000006", "400000006", 10, true},
    {"500000000", "500000000", 5, false},
};

class EvaluateNumberRows : public ::testing::TestWithParam<EvaluationRow> {};

TEST_P(EvaluateNumberRows, GivesThePublishedCheckStringSumAndValidity) {
  const EvaluationRow& row = GetParam();
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();

  const EvaluationResult result = EvaluateNumber(row.entry, digits, weighted);

  EXPECT_EQ(result.CheckString, row.checkString);
  EXPECT_EQ(result.CheckSum, row.checkSum);
  EXPECT_EQ(result.IsValid, row.isValid);
}

TEST_P(EvaluateNumberRows, LeavesTheCharactersAndFoldedValuesInTheTables) {
  const EvaluationRow& row = GetParam();
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();

  const EvaluationResult result = EvaluateNumber(row.entry, digits, weighted);

  for (std::size_t slot = 1; slot <= kNumberLength; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(digits[slot], row.entry[slot - 1]);
    EXPECT_EQ(weighted[slot], result.CheckString[slot - 1] - '0');
  }
  // Slots 0 and 10 belong to nobody and stay empty.
  EXPECT_EQ(digits[0], kEmptyDigitSlot);
  EXPECT_EQ(digits[10], kEmptyDigitSlot);
  EXPECT_EQ(weighted[0], kEmptyWeightedSlot);
  EXPECT_EQ(weighted[10], kEmptyWeightedSlot);
}

TEST_P(EvaluateNumberRows, GivesTheSameResultWhenEvaluatedTwice) {
  const EvaluationRow& row = GetParam();
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();

  const EvaluationResult first = EvaluateNumber(row.entry, digits, weighted);
  const EvaluationResult second = EvaluateNumber(row.entry, digits, weighted);

  EXPECT_EQ(first, second);
}

INSTANTIATE_TEST_SUITE_P(PublishedExamples, EvaluateNumberRows, ::testing::ValuesIn(kRows));

TEST(EvaluateNumber, FoldsEveryDigitAtAnEvenPositionAsTheWeightTwoTableSays) {
  // digit:                       0  1  2  3  4  5  6  7  8  9
  constexpr int kFoldedAtWeight2[] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
  for (int digit = 0; digit <= 9; ++digit) {
    SCOPED_TRACE(digit);
    std::string entry = "000000000";
    entry[1] = static_cast<char>('0' + digit);  // position 2 weighs 2
    entry[2] = static_cast<char>('0' + digit);  // position 3 weighs 1
    DigitSlots digits = EmptyDigitSlots();
    WeightedSlots weighted = EmptyWeightedSlots();

    const EvaluationResult result = EvaluateNumber(entry, digits, weighted);

    EXPECT_EQ(weighted[2], kFoldedAtWeight2[digit]);
    EXPECT_EQ(weighted[3], digit);
    EXPECT_EQ(result.CheckSum, kFoldedAtWeight2[digit] + digit);
  }
}

TEST(EvaluateNumber, NeverWritesPastSlotNineWhatEverTheTextLength) {
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();

  const EvaluationResult result = EvaluateNumber("1234567829999999999999999999", digits, weighted);

  EXPECT_EQ(result.CheckString, "143853772");
  EXPECT_EQ(digits[10], kEmptyDigitSlot);
  EXPECT_EQ(weighted[10], kEmptyWeightedSlot);
}

TEST(EvaluateNumber, CountsCharactersThatAreNotDigitsAsZero) {
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();

  const EvaluationResult result = EvaluateNumber("1a3b5c7d9", digits, weighted);

  EXPECT_EQ(result.CheckString, "103050709");
  EXPECT_EQ(result.CheckSum, 25);
}

}  // namespace
}  // namespace mivaro

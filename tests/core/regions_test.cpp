// SPDX-License-Identifier: Apache-2.0
#include "core/regions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace mivaro {
namespace {

constexpr std::string_view kAtlanticText =
    "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador";
constexpr std::string_view kPrairiesText =
    "Manitoba, Saskatchewan, Alberta, Northwest Territories, and Nunavut";

struct RegionRow {
  char first;
  RegionGroup group;
  // Flags in box order: AB BC MB NB NU NWT ON PEI NF QC YT NS SK.
  std::string_view flags;
  std::optional<std::string_view> regionText;
  std::optional<std::string_view> seriesMessage;
};

void PrintTo(const RegionRow& row, std::ostream* os) {
  *os << "first digit " << row.first;
}

const RegionRow kRows[] = {
    {'1', RegionGroup::Atlantic, "0001000110010", kAtlanticText, std::nullopt},
    {'2', RegionGroup::Quebec, "0000000001000", "Quebec", std::nullopt},
    {'3', RegionGroup::Quebec, "0000000001000", "Quebec", std::nullopt},
    {'4', RegionGroup::Ontario, "0000001000000", "Ontario", std::nullopt},
    {'5', RegionGroup::Ontario, "0000001000000", "Ontario", std::nullopt},
    {'6', RegionGroup::PrairiesNorth, "1010110000001", kPrairiesText, std::nullopt},
    {'7', RegionGroup::PacificNorth, "0100000000100", "British Columbia and Yukon", std::nullopt},
    {'8', RegionGroup::Dummy, "0000000000000", std::nullopt, "SIN is VALID but DUMMY"},
    {'9', RegionGroup::Temporary, "0000000000000", std::nullopt, "SIN is VALID for TEMPORARY"},
    {'0', RegionGroup::ForeignTax, "0000000000000", std::nullopt, "SIN is VALID for FOREIGN//TAX"},
};

class RegionTableRows : public ::testing::TestWithParam<RegionRow> {};

TEST_P(RegionTableRows, MapsTheFirstDigitToItsGroupFlagsAndMessages) {
  const RegionRow& row = GetParam();

  const std::optional<RegionGroup> group = RegionForDigit(row.first);

  ASSERT_EQ(group, row.group);
  const RegionFlags flags = RegionFlagsFor(*group);
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    SCOPED_TRACE(kRegionBoxes[box].Caption);
    EXPECT_EQ(flags[box], row.flags[box] - '0');
  }
  if (row.regionText) {
    EXPECT_EQ(RegionMessage(*group), "SIN is VALID for:\r\n" + std::string(*row.regionText));
  } else {
    EXPECT_EQ(RegionMessage(*group), std::nullopt);
  }
  EXPECT_EQ(SeriesMessage(*group), row.seriesMessage);
}

TEST_P(RegionTableRows, ListsTheDigitAmongItsGroupsFirstDigits) {
  const RegionRow& row = GetParam();
  const std::span<const int> digits = FirstDigitsOf(row.group);
  EXPECT_NE(std::find(digits.begin(), digits.end(), row.first - '0'), digits.end());
}

INSTANTIATE_TEST_SUITE_P(EveryFirstDigit, RegionTableRows, ::testing::ValuesIn(kRows));

TEST(RegionTable, TicksEveryBoxForExactlyOneGroup) {
  constexpr RegionGroup kAllGroups[] = {
      RegionGroup::Atlantic,      RegionGroup::Quebec,       RegionGroup::Ontario,
      RegionGroup::PrairiesNorth, RegionGroup::PacificNorth, RegionGroup::ForeignTax,
      RegionGroup::Dummy,         RegionGroup::Temporary,
  };
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    SCOPED_TRACE(kRegionBoxes[box].Caption);
    int ticking = 0;
    for (const RegionGroup group : kAllGroups) ticking += RegionFlagsFor(group)[box];
    EXPECT_EQ(ticking, 1);
  }
}

TEST(RegionTable, HasNoGroupForCharactersThatAreNotDigits) {
  for (const char c : {'\0', ' ', '/', ':', 'a', '-'}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_EQ(RegionForDigit(c), std::nullopt);
  }
}

}  // namespace
}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#include "mivaro/regions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace mivaro {
namespace {

struct RegionRow {
  char first;
  RegionGroup group;
  // Its regions in the table's order: AB BC MB NB NU NWT ON PEI NF QC YT NS SK.
  std::string_view regions;
  std::string_view name;  // as mivaro-cli prints it
  std::optional<std::string_view> series;
};

void PrintTo(const RegionRow& row, std::ostream* os) {
  *os << "first digit " << row.first;
}

const RegionRow kRows[] = {
    {'1', RegionGroup::Atlantic, "0001000110010", "Atlantic", std::nullopt},
    {'2', RegionGroup::Quebec, "0000000001000", "Quebec", std::nullopt},
    {'3', RegionGroup::Quebec, "0000000001000", "Quebec", std::nullopt},
    {'4', RegionGroup::Ontario, "0000001000000", "Ontario", std::nullopt},
    {'5', RegionGroup::Ontario, "0000001000000", "Ontario", std::nullopt},
    {'6', RegionGroup::PrairiesNorth, "1010110000001", "PrairiesNorth", std::nullopt},
    {'7', RegionGroup::PacificNorth, "0100000000100", "PacificNorth", std::nullopt},
    {'8', RegionGroup::Dummy, "0000000000000", "Dummy", "dummy"},
    {'9', RegionGroup::Temporary, "0000000000000", "Temporary", "temporary"},
    {'0', RegionGroup::ForeignTax, "0000000000000", "ForeignTax", "foreign/tax"},
};

class RegionTableRows : public ::testing::TestWithParam<RegionRow> {};

TEST_P(RegionTableRows, MapsTheFirstDigitToItsGroupFlagsAndNames) {
  const RegionRow& row = GetParam();

  const std::optional<RegionGroup> group = RegionForDigit(row.first);

  ASSERT_EQ(group, row.group);
  const unsigned bits = RegionBitsOf(*group);
  for (std::size_t index = 0; index < kRegions.size(); ++index) {
    SCOPED_TRACE(kRegions[index].caption);
    EXPECT_EQ((bits & kRegions[index].bit) != 0, row.regions[index] == '1');
  }
  EXPECT_EQ(GroupName(*group), row.name);
  EXPECT_EQ(SeriesName(*group), row.series);
}

TEST_P(RegionTableRows, ListsTheDigitAmongItsGroupsFirstDigits) {
  const RegionRow& row = GetParam();
  const std::span<const int> digits = FirstDigitsOf(row.group);
  EXPECT_NE(std::find(digits.begin(), digits.end(), row.first - '0'), digits.end());
}

INSTANTIATE_TEST_SUITE_P(EveryFirstDigit, RegionTableRows, ::testing::ValuesIn(kRows));

TEST(RegionTable, PutsEveryRegionInExactlyOneGroup) {
  for (const Region& region : kRegions) {
    SCOPED_TRACE(region.caption);
    int groups = 0;
    for (const RegionGroup group : kGroups) groups += (RegionBitsOf(group) & region.bit) != 0;
    EXPECT_EQ(groups, 1);
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

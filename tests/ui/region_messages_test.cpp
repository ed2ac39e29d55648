// SPDX-License-Identifier: Apache-2.0
#include "ui/region_messages.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace mivaro {
namespace {

struct MessageRow {
  RegionGroup group;
  std::optional<std::string_view> regionText;
  std::optional<std::string_view> seriesMessage;
};

TEST(RegionMessages, NameTheRegionsOfAGroupOrTheSeries) {
  const MessageRow kRows[] = {
      {RegionGroup::Atlantic,
       "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador",
       std::nullopt},
      {RegionGroup::Quebec, "Quebec", std::nullopt},
      {RegionGroup::Ontario, "Ontario", std::nullopt},
      {RegionGroup::PrairiesNorth,
       "Manitoba, Saskatchewan, Alberta, Northwest Territories, and Nunavut", std::nullopt},
      {RegionGroup::PacificNorth, "British Columbia and Yukon", std::nullopt},
      {RegionGroup::Dummy, std::nullopt, "SIN is VALID but DUMMY"},
      {RegionGroup::Temporary, std::nullopt, "SIN is VALID for TEMPORARY"},
      {RegionGroup::ForeignTax, std::nullopt, "SIN is VALID for FOREIGN//TAX"},
  };
  for (const MessageRow& row : kRows) {
    SCOPED_TRACE(static_cast<int>(row.group));
    if (row.regionText) {
      const auto lines = RegionMessageLines(row.group);
      ASSERT_TRUE(lines.has_value());
      EXPECT_EQ((*lines)[0].text, "SIN is VALID for:");
      EXPECT_EQ((*lines)[1].text, *row.regionText);
    } else {
      EXPECT_EQ(RegionMessageLines(row.group), std::nullopt);
    }
    EXPECT_EQ(SeriesMessage(row.group), row.seriesMessage);
  }
}

}  // namespace
}  // namespace mivaro

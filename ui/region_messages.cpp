// SPDX-License-Identifier: Apache-2.0
#include "ui/region_messages.h"

#include <array>

namespace mivaro {
namespace {

struct GroupMessages {
  RegionGroup group;
  std::string_view regionText;     // empty for a series
  std::string_view seriesMessage;  // empty for a region group
};

constexpr std::array<GroupMessages, kGroups.size()> kMessages{{
    {RegionGroup::Atlantic,
     MIVARO_TRANSLATABLE(
         "mivaro::Regions",
         "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador"),
     {}},
    {RegionGroup::Quebec, MIVARO_TRANSLATABLE("mivaro::Regions", "Quebec"), {}},
    {RegionGroup::Ontario, MIVARO_TRANSLATABLE("mivaro::Regions", "Ontario"), {}},
    {RegionGroup::PrairiesNorth,
     MIVARO_TRANSLATABLE("mivaro::Regions",
                         "Manitoba, Saskatchewan, Alberta, Northwest Territories, and Nunavut"),
     {}},
    {RegionGroup::PacificNorth,
     MIVARO_TRANSLATABLE("mivaro::Regions", "British Columbia and Yukon"),
     {}},
    {RegionGroup::ForeignTax,
     {},
     MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for FOREIGN//TAX")},
    {RegionGroup::Dummy, {}, MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID but DUMMY")},
    {RegionGroup::Temporary,
     {},
     MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for TEMPORARY")},
}};

const GroupMessages& MessagesOf(RegionGroup group) {
  for (const GroupMessages& messages : kMessages) {
    if (messages.group == group) return messages;
  }
  return kMessages.front();  // every group is in the table
}

}  // namespace

std::optional<std::string_view> RegionText(RegionGroup group) {
  const std::string_view text = MessagesOf(group).regionText;
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::array<ShownLine, 2>> RegionMessageLines(RegionGroup group) {
  const auto text = RegionText(group);
  if (!text) return std::nullopt;
  return std::array<ShownLine, 2>{{{kTextContext, kRegionMessageLead}, {kTextContext, *text}}};
}

std::optional<std::string_view> SeriesMessage(RegionGroup group) {
  const std::string_view message = MessagesOf(group).seriesMessage;
  if (message.empty()) return std::nullopt;
  return message;
}

}  // namespace mivaro

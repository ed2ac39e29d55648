// SPDX-License-Identifier: Apache-2.0
#include "core/regions.h"

namespace mivaro {
namespace {

struct GroupFacts {
  std::span<const int> firstDigits;
  std::string_view name;
  std::string_view regionText;     // empty for a series
  std::string_view seriesMessage;  // empty for a region group
  std::string_view seriesName;     // empty for a region group
};

constexpr std::array<int, 1> kDigits1{1};
constexpr std::array<int, 2> kDigits23{2, 3};
constexpr std::array<int, 2> kDigits45{4, 5};
constexpr std::array<int, 1> kDigits6{6};
constexpr std::array<int, 1> kDigits7{7};
constexpr std::array<int, 1> kDigits0{0};
constexpr std::array<int, 1> kDigits8{8};
constexpr std::array<int, 1> kDigits9{9};

// Indexed by RegionGroup.
constexpr std::array<GroupFacts, 8> kGroups{{
    {kDigits1,
     "Atlantic",
     MIVARO_TRANSLATABLE(
         "mivaro::Regions",
         "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador"),
     {},
     {}},
    {kDigits23, "Quebec", MIVARO_TRANSLATABLE("mivaro::Regions", "Quebec"), {}, {}},
    {kDigits45, "Ontario", MIVARO_TRANSLATABLE("mivaro::Regions", "Ontario"), {}, {}},
    {kDigits6,
     "PrairiesNorth",
     MIVARO_TRANSLATABLE("mivaro::Regions",
                         "Manitoba, Saskatchewan, Alberta, Northwest Territories, and Nunavut"),
     {},
     {}},
    {kDigits7,
     "PacificNorth",
     MIVARO_TRANSLATABLE("mivaro::Regions", "British Columbia and Yukon"),
     {},
     {}},
    {kDigits0,
     "ForeignTax",
     {},
     MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for FOREIGN//TAX"),
     "foreign/tax"},
    {kDigits8,
     "Dummy",
     {},
     MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID but DUMMY"),
     "dummy"},
    {kDigits9,
     "Temporary",
     {},
     MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for TEMPORARY"),
     "temporary"},
}};

// Indexed by digit value 0..9.
constexpr std::array<RegionGroup, 10> kGroupOfDigit{
    RegionGroup::ForeignTax,    RegionGroup::Atlantic,     RegionGroup::Quebec,
    RegionGroup::Quebec,        RegionGroup::Ontario,      RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth, RegionGroup::Dummy,
    RegionGroup::Temporary,
};

const GroupFacts& FactsOf(RegionGroup group) {
  return kGroups[static_cast<std::size_t>(group)];
}

}  // namespace

std::optional<RegionGroup> RegionForDigit(char firstCharacter) {
  if (firstCharacter < '0' || firstCharacter > '9') return std::nullopt;
  return kGroupOfDigit[static_cast<std::size_t>(firstCharacter - '0')];
}

std::span<const int> FirstDigitsOf(RegionGroup group) {
  return FactsOf(group).firstDigits;
}

std::optional<RegionGroup> HighestTickedGroup(const RegionFlags& flags) {
  for (const RegionGroup group : kRegionPriority) {
    for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
      if (kRegionBoxes[box].Group == group && IsTicked(flags[box])) return group;
    }
  }
  return std::nullopt;
}

RegionFlags RegionFlagsFor(RegionGroup group) {
  RegionFlags flags{};
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    flags[box] = kRegionBoxes[box].Group == group ? 1 : 0;
  }
  return flags;
}

std::optional<std::string_view> RegionText(RegionGroup group) {
  const std::string_view text = FactsOf(group).regionText;
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> RegionMessage(RegionGroup group, ShownText shown) {
  const auto text = RegionText(group);
  if (!text) return std::nullopt;
  const auto show = [shown](std::string_view part) {
    return shown != nullptr ? shown(part) : std::string(part);
  };
  return show(kRegionMessageLead) + "\r\n" + show(*text);
}

std::optional<std::string_view> SeriesMessage(RegionGroup group) {
  const std::string_view message = FactsOf(group).seriesMessage;
  if (message.empty()) return std::nullopt;
  return message;
}

std::optional<std::string_view> SeriesName(RegionGroup group) {
  const std::string_view name = FactsOf(group).seriesName;
  if (name.empty()) return std::nullopt;
  return name;
}

std::string_view RegionGroupName(RegionGroup group) {
  return FactsOf(group).name;
}

}  // namespace mivaro

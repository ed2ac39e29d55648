// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Marks a text that people read so that Qt's lupdate collects it for
// translation (it is told to read this as QT_TRANSLATE_NOOP), while the core
// stays free of Qt: the text itself is all the macro leaves. The window shows
// such texts through QCoreApplication::translate(kTextContext, text).
#define MIVARO_TRANSLATABLE(context, text) text

namespace mivaro {

// The translation context of every text marked in the core.
inline constexpr char kTextContext[] = "mivaro::Regions";

// What the first digit of a SIN stands for: a region of issue or a series.
enum class RegionGroup : std::uint8_t {
  Atlantic,       // 1
  Quebec,         // 2, 3
  Ontario,        // 4, 5
  PrairiesNorth,  // 6
  PacificNorth,   // 7
  ForeignTax,     // 0
  Dummy,          // 8
  Temporary,      // 9
};

inline constexpr std::size_t kRegionBoxCount = 13;

// The values of the region boxes Check1..Check13: 0 clear, 1 ticked.
using RegionFlags = std::array<std::uint8_t, kRegionBoxCount>;

// Returns whether a region flag counts as ticked; only the value 1 does.
constexpr bool IsTicked(std::uint8_t flag) {
  return flag == 1;
}

// One region box: its caption, the province or territory, and its group.
struct RegionBox {
  std::string_view Caption;
  std::string_view Name;
  RegionGroup Group;
};

// The thirteen boxes in the order Check1..Check13. Every other table of
// regions is derived from this one.
inline constexpr std::array<RegionBox, kRegionBoxCount> kRegionBoxes{{
    {"AB", MIVARO_TRANSLATABLE("mivaro::Regions", "Alberta"), RegionGroup::PrairiesNorth},
    {"BC", MIVARO_TRANSLATABLE("mivaro::Regions", "British Columbia"), RegionGroup::PacificNorth},
    {"MB", MIVARO_TRANSLATABLE("mivaro::Regions", "Manitoba"), RegionGroup::PrairiesNorth},
    {"NB", MIVARO_TRANSLATABLE("mivaro::Regions", "New Brunswick"), RegionGroup::Atlantic},
    {"NU", MIVARO_TRANSLATABLE("mivaro::Regions", "Nunavut"), RegionGroup::PrairiesNorth},
    {"NWT", MIVARO_TRANSLATABLE("mivaro::Regions", "Northwest Territories"),
     RegionGroup::PrairiesNorth},
    {"ON", MIVARO_TRANSLATABLE("mivaro::Regions", "Ontario"), RegionGroup::Ontario},
    {"PEI", MIVARO_TRANSLATABLE("mivaro::Regions", "Prince Edward Island"), RegionGroup::Atlantic},
    {"NF", MIVARO_TRANSLATABLE("mivaro::Regions", "Newfoundland and Labrador"),
     RegionGroup::Atlantic},
    {"QC", MIVARO_TRANSLATABLE("mivaro::Regions", "Quebec"), RegionGroup::Quebec},
    {"YT", MIVARO_TRANSLATABLE("mivaro::Regions", "Yukon"), RegionGroup::PacificNorth},
    {"NS", MIVARO_TRANSLATABLE("mivaro::Regions", "Nova Scotia"), RegionGroup::Atlantic},
    {"SK", MIVARO_TRANSLATABLE("mivaro::Regions", "Saskatchewan"), RegionGroup::PrairiesNorth},
}};

// The five region groups in the order the generator tries them, which is the
// ascending order of their first digits.
inline constexpr std::array<RegionGroup, 5> kRegionPriority{
    RegionGroup::Atlantic,      RegionGroup::Quebec,       RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth,
};

// The first line of every region message, before CR LF and the region text.
inline constexpr std::string_view kRegionMessageLead =
    MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for:");

// Returns the group a first character stands for, or nothing when it is not
// an ASCII digit.
std::optional<RegionGroup> RegionForDigit(char firstCharacter);

// Returns the first digits that belong to a group, in ascending order.
std::span<const int> FirstDigitsOf(RegionGroup group);

// Returns the first group in kRegionPriority with a ticked box, or nothing
// when no box is ticked.
std::optional<RegionGroup> HighestTickedGroup(const RegionFlags& flags);

// Returns the thirteen flags a group sets: 1 for its own boxes, 0 for all others.
RegionFlags RegionFlagsFor(RegionGroup group);

// Returns the region text of a group ("Quebec", ...), or nothing for a series.
std::optional<std::string_view> RegionText(RegionGroup group);

// Turns a text of the core's tables into the text shown, for example its
// translation; none shows it as it is.
using ShownText = std::string (*)(std::string_view text);

// Returns the message shown for a region group whether or not the number
// passes: "SIN is VALID for:", CR LF, the region text, each as shown. Nothing
// for a series.
std::optional<std::string> RegionMessage(RegionGroup group, ShownText shown = nullptr);

// Returns the message shown for a series only when the number passes, or
// nothing for a region group.
std::optional<std::string_view> SeriesMessage(RegionGroup group);

// Returns a series' short name ("foreign/tax", "dummy", "temporary"), or
// nothing for a region group.
std::optional<std::string_view> SeriesName(RegionGroup group);

// Returns the group's name as the code spells it ("PrairiesNorth", ...).
std::string_view RegionGroupName(RegionGroup group);

}  // namespace mivaro

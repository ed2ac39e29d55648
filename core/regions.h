#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mivaro {

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
    {"AB", "Alberta", RegionGroup::PrairiesNorth},
    {"BC", "British Columbia", RegionGroup::PacificNorth},
    {"MB", "Manitoba", RegionGroup::PrairiesNorth},
    {"NB", "New Brunswick", RegionGroup::Atlantic},
    {"NU", "Nunavut", RegionGroup::PrairiesNorth},
    {"NWT", "Northwest Territories", RegionGroup::PrairiesNorth},
    {"ON", "Ontario", RegionGroup::Ontario},
    {"PEI", "Prince Edward Island", RegionGroup::Atlantic},
    {"NF", "Newfoundland and Labrador", RegionGroup::Atlantic},
    {"QC", "Quebec", RegionGroup::Quebec},
    {"YT", "Yukon", RegionGroup::PacificNorth},
    {"NS", "Nova Scotia", RegionGroup::Atlantic},
    {"SK", "Saskatchewan", RegionGroup::PrairiesNorth},
}};

// The five region groups in the order the generator tries them, which is the
// ascending order of their first digits.
inline constexpr std::array<RegionGroup, 5> kRegionPriority{
    RegionGroup::Atlantic,      RegionGroup::Quebec,       RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth,
};

// The first line of every region message, before CR LF and the region text.
inline constexpr std::string_view kRegionMessageLead = "SIN is VALID for:";

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

// Returns the message shown for a region group whether or not the number
// passes: "SIN is VALID for:", CR LF, the region text. Nothing for a series.
std::optional<std::string> RegionMessage(RegionGroup group);

// Returns the message shown for a series only when the number passes, or
// nothing for a region group.
std::optional<std::string_view> SeriesMessage(RegionGroup group);

// Returns a series' short name ("foreign/tax", "dummy", "temporary"), or
// nothing for a region group.
std::optional<std::string_view> SeriesName(RegionGroup group);

// Returns the group's name as the code spells it ("PrairiesNorth", ...).
std::string_view RegionGroupName(RegionGroup group);

}  // namespace mivaro

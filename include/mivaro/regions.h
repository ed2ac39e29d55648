// SPDX-License-Identifier: Apache-2.0
/**
 * @file regions.h
 * @brief What a SIN's first digit stands for: the thirteen provinces and
 * territories, their groups, and the special series.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "mivaro/mivaro.h"

/// Marks a text that people read so that translation tools collect it (Qt's
/// lupdate is told to read it as QT_TRANSLATE_NOOP); the text itself is all
/// the macro leaves.
#define MIVARO_TRANSLATABLE(context, text) text

namespace mivaro {

/// The translation context of every text marked in Mivaro's tables.
inline constexpr char kTextContext[] = "mivaro::Regions";

/// What the first digit of a SIN stands for; values as in mivaro.h.
enum class RegionGroup : int {
  Atlantic = MIVARO_GROUP_ATLANTIC,             ///< 1
  Quebec = MIVARO_GROUP_QUEBEC,                 ///< 2, 3
  Ontario = MIVARO_GROUP_ONTARIO,               ///< 4, 5
  PrairiesNorth = MIVARO_GROUP_PRAIRIES_NORTH,  ///< 6
  PacificNorth = MIVARO_GROUP_PACIFIC_NORTH,    ///< 7
  ForeignTax = MIVARO_GROUP_FOREIGN_TAX,        ///< 0
  Dummy = MIVARO_GROUP_DUMMY,                   ///< 8
  Temporary = MIVARO_GROUP_TEMPORARY,           ///< 9
};

/// Every group, in the order of their values.
inline constexpr std::array<RegionGroup, 8> kGroups{
    RegionGroup::Atlantic,      RegionGroup::Quebec,       RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth, RegionGroup::ForeignTax,
    RegionGroup::Dummy,         RegionGroup::Temporary,
};

/// How many provinces and territories there are, each with its box.
inline constexpr std::size_t kRegionBoxCount = 13;

/// One value per region, in the order of kRegionBoxes: 0 clear, 1 ticked.
using RegionFlags = std::array<std::uint8_t, kRegionBoxCount>;

/// Returns whether a region flag counts as ticked; only the value 1 does.
constexpr bool IsTicked(std::uint8_t flag) {
  return flag == 1;
}

/// One province or territory: its caption, its name, its group and its bit.
struct RegionBox {
  std::string_view Caption;  ///< its short caption ("NB")
  std::string_view Name;     ///< its name in English ("New Brunswick")
  RegionGroup Group;         ///< the group whose first digits stand for it
  unsigned Bit;              ///< its MIVARO_REGION_* bit
};

/// The thirteen regions in the order of their boxes and bits. Every other
/// table of regions is derived from this one.
inline constexpr std::array<RegionBox, kRegionBoxCount> kRegionBoxes{{
    {"AB", MIVARO_TRANSLATABLE("mivaro::Regions", "Alberta"), RegionGroup::PrairiesNorth,
     MIVARO_REGION_AB},
    {"BC", MIVARO_TRANSLATABLE("mivaro::Regions", "British Columbia"), RegionGroup::PacificNorth,
     MIVARO_REGION_BC},
    {"MB", MIVARO_TRANSLATABLE("mivaro::Regions", "Manitoba"), RegionGroup::PrairiesNorth,
     MIVARO_REGION_MB},
    {"NB", MIVARO_TRANSLATABLE("mivaro::Regions", "New Brunswick"), RegionGroup::Atlantic,
     MIVARO_REGION_NB},
    {"NU", MIVARO_TRANSLATABLE("mivaro::Regions", "Nunavut"), RegionGroup::PrairiesNorth,
     MIVARO_REGION_NU},
    {"NWT", MIVARO_TRANSLATABLE("mivaro::Regions", "Northwest Territories"),
     RegionGroup::PrairiesNorth, MIVARO_REGION_NWT},
    {"ON", MIVARO_TRANSLATABLE("mivaro::Regions", "Ontario"), RegionGroup::Ontario,
     MIVARO_REGION_ON},
    {"PEI", MIVARO_TRANSLATABLE("mivaro::Regions", "Prince Edward Island"), RegionGroup::Atlantic,
     MIVARO_REGION_PEI},
    {"NF", MIVARO_TRANSLATABLE("mivaro::Regions", "Newfoundland and Labrador"),
     RegionGroup::Atlantic, MIVARO_REGION_NF},
    {"QC", MIVARO_TRANSLATABLE("mivaro::Regions", "Quebec"), RegionGroup::Quebec, MIVARO_REGION_QC},
    {"YT", MIVARO_TRANSLATABLE("mivaro::Regions", "Yukon"), RegionGroup::PacificNorth,
     MIVARO_REGION_YT},
    {"NS", MIVARO_TRANSLATABLE("mivaro::Regions", "Nova Scotia"), RegionGroup::Atlantic,
     MIVARO_REGION_NS},
    {"SK", MIVARO_TRANSLATABLE("mivaro::Regions", "Saskatchewan"), RegionGroup::PrairiesNorth,
     MIVARO_REGION_SK},
}};

/// The five region groups in the order a generator for several of them tries
/// them, which is the ascending order of their first digits.
inline constexpr std::array<RegionGroup, 5> kRegionPriority{
    RegionGroup::Atlantic,      RegionGroup::Quebec,       RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth,
};

/// Returns the group a first character stands for, or nothing when it is not
/// an ASCII digit.
MIVARO_EXPORT std::optional<RegionGroup> RegionForDigit(char firstCharacter) noexcept;

/// Returns the first digits that belong to a group, in ascending order.
MIVARO_EXPORT std::span<const int> FirstDigitsOf(RegionGroup group) noexcept;

/// Returns the first group in kRegionPriority with a ticked region, or
/// nothing when no region is ticked.
MIVARO_EXPORT std::optional<RegionGroup> HighestTickedGroup(const RegionFlags& flags) noexcept;

/// Returns the first digits a number generated for the ticked regions starts
/// with: the highest-priority ticked group's, or 1 to 9 when none is ticked.
MIVARO_EXPORT std::span<const int> FirstDigitsFor(const RegionFlags& flags) noexcept;

/// Returns the flags a group sets: 1 for its own regions, 0 for all others.
MIVARO_EXPORT RegionFlags RegionFlagsFor(RegionGroup group) noexcept;

/// Returns the flags of a set of MIVARO_REGION_* bits.
MIVARO_EXPORT RegionFlags RegionFlagsOf(unsigned bits) noexcept;

/// Returns the MIVARO_REGION_* bits of the ticked flags.
MIVARO_EXPORT unsigned RegionBitsOf(const RegionFlags& flags) noexcept;

/// Returns a group's name as mivaro-cli prints it ("PrairiesNorth", ...).
MIVARO_EXPORT std::string_view GroupName(RegionGroup group) noexcept;

/// Returns a series' short name ("foreign/tax", "dummy", "temporary"), or
/// nothing for a region group.
MIVARO_EXPORT std::optional<std::string_view> SeriesName(RegionGroup group) noexcept;

/// Returns the captions of a group's regions in box order, separated by
/// single spaces ("NB PEI NF NS"); "" for a series.
MIVARO_EXPORT std::string_view RegionWords(RegionGroup group) noexcept;

}  // namespace mivaro

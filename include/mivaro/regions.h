// SPDX-License-Identifier: Apache-2.0
/**
 * @file regions.h
 * @brief What a SIN's first digit stands for: the thirteen provinces and
 * territories, their groups, and the special series.
 */
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "mivaro/mivaro.h"

namespace mivaro {

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

/// One province or territory: its caption, its group and its bit.
struct Region {
  std::string_view caption;  ///< its short caption ("NB")
  RegionGroup group;         ///< the group whose first digits stand for it
  unsigned bit;              ///< its MIVARO_REGION_* bit
};

/// The thirteen provinces and territories in the order of their bits. Every
/// other table of regions is derived from this one.
inline constexpr std::array<Region, 13> kRegions{{
    {"AB", RegionGroup::PrairiesNorth, MIVARO_REGION_AB},
    {"BC", RegionGroup::PacificNorth, MIVARO_REGION_BC},
    {"MB", RegionGroup::PrairiesNorth, MIVARO_REGION_MB},
    {"NB", RegionGroup::Atlantic, MIVARO_REGION_NB},
    {"NU", RegionGroup::PrairiesNorth, MIVARO_REGION_NU},
    {"NWT", RegionGroup::PrairiesNorth, MIVARO_REGION_NWT},
    {"ON", RegionGroup::Ontario, MIVARO_REGION_ON},
    {"PEI", RegionGroup::Atlantic, MIVARO_REGION_PEI},
    {"NF", RegionGroup::Atlantic, MIVARO_REGION_NF},
    {"QC", RegionGroup::Quebec, MIVARO_REGION_QC},
    {"YT", RegionGroup::PacificNorth, MIVARO_REGION_YT},
    {"NS", RegionGroup::Atlantic, MIVARO_REGION_NS},
    {"SK", RegionGroup::PrairiesNorth, MIVARO_REGION_SK},
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

/// Returns the first group in kRegionPriority that has a region among a set
/// of MIVARO_REGION_* bits, or nothing when the set holds none.
MIVARO_EXPORT std::optional<RegionGroup> HighestPriorityGroup(unsigned regions) noexcept;

/// Returns the first digits a number generated for a set of MIVARO_REGION_*
/// bits starts with: the highest-priority group's, or 1 to 9 for no region.
MIVARO_EXPORT std::span<const int> FirstDigitsForRegions(unsigned regions) noexcept;

/// Returns the MIVARO_REGION_* bits of a group's regions; 0 for a series.
MIVARO_EXPORT unsigned RegionBitsOf(RegionGroup group) noexcept;

/// Returns a group's name as mivaro-cli prints it ("PrairiesNorth", ...).
MIVARO_EXPORT std::string_view GroupName(RegionGroup group) noexcept;

/// Returns a series' short name ("foreign/tax", "dummy", "temporary"), or
/// nothing for a region group.
MIVARO_EXPORT std::optional<std::string_view> SeriesName(RegionGroup group) noexcept;

/// Returns the captions of a group's regions in box order, separated by
/// single spaces ("NB PEI NF NS"); "" for a series.
MIVARO_EXPORT std::string_view RegionWords(RegionGroup group) noexcept;

}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window's thirteen region boxes, Check1 to Check13: one per region of
// the library's table, in its order, each with the province's name that the
// window gives screen readers; and the flags the boxes hold, of which only
// the value 1 counts as ticked.

#include <mivaro/regions.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ui/translatable.h"

namespace mivaro {

// One box per region of the library's table.
inline constexpr std::size_t kRegionBoxCount = kRegions.size();

// One value per box, in the order of kRegions: 0 clear, 1 ticked.
using RegionFlags = std::array<std::uint8_t, kRegionBoxCount>;

// Returns whether a region flag counts as ticked; only the value 1 does.
constexpr bool IsTicked(std::uint8_t flag) {
  return flag == 1;
}

// Each box's province or territory, in English, as a screen reader hears it
// (translated under kTextContext).
inline constexpr std::array<std::string_view, kRegionBoxCount> kRegionNames{
    MIVARO_TRANSLATABLE("mivaro::Regions", "Alberta"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "British Columbia"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Manitoba"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "New Brunswick"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Nunavut"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Northwest Territories"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Ontario"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Prince Edward Island"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Newfoundland and Labrador"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Quebec"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Yukon"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Nova Scotia"),
    MIVARO_TRANSLATABLE("mivaro::Regions", "Saskatchewan"),
};

// Returns the MIVARO_REGION_* bits of the ticked boxes.
constexpr unsigned TickedRegionBits(const RegionFlags& flags) {
  unsigned bits = 0;
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    if (IsTicked(flags[box])) bits |= kRegions[box].bit;
  }
  return bits;
}

// Returns the flags of a set of MIVARO_REGION_* bits.
constexpr RegionFlags RegionFlagsOf(unsigned bits) {
  RegionFlags flags{};
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    flags[box] = (bits & kRegions[box].bit) != 0 ? 1 : 0;
  }
  return flags;
}

// Returns the flags a group sets: 1 for its own regions, 0 for all others.
inline RegionFlags RegionFlagsFor(RegionGroup group) {
  return RegionFlagsOf(RegionBitsOf(group));
}

// Returns the first group in the generator's priority with a ticked box, or
// nothing when no box is ticked.
inline std::optional<RegionGroup> HighestTickedGroup(const RegionFlags& flags) {
  return HighestPriorityGroup(TickedRegionBits(flags));
}

}  // namespace mivaro

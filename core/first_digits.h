// SPDX-License-Identifier: Apache-2.0
#pragma once

// What each first digit stands for: the one table that every other map
// between first digits and groups is made from.

#include <array>

#include "mivaro/regions.h"

namespace mivaro::detail {

// The group of every first digit, 0 to 9.
inline constexpr std::array<RegionGroup, 10> kGroupOfDigit{
    RegionGroup::ForeignTax,    RegionGroup::Atlantic,     RegionGroup::Quebec,
    RegionGroup::Quebec,        RegionGroup::Ontario,      RegionGroup::Ontario,
    RegionGroup::PrairiesNorth, RegionGroup::PacificNorth, RegionGroup::Dummy,
    RegionGroup::Temporary,
};

// The region bits of every first digit.
inline constexpr std::array<unsigned, 10> kBitsOfDigit = [] {
  std::array<unsigned, 10> bits{};
  for (std::size_t digit = 0; digit < bits.size(); ++digit) {
    for (const Region& region : kRegions) {
      if (region.group == kGroupOfDigit[digit]) bits[digit] |= region.bit;
    }
  }
  return bits;
}();

}  // namespace mivaro::detail

// SPDX-License-Identifier: Apache-2.0
#include "mivaro/regions.h"

#include <string>

namespace mivaro {
namespace {

struct GroupFacts {
  std::span<const int> firstDigits;
  std::string_view name;
  std::string_view seriesName;  // empty for a region group
};

constexpr std::array<int, 1> kDigits1{1};
constexpr std::array<int, 2> kDigits23{2, 3};
constexpr std::array<int, 2> kDigits45{4, 5};
constexpr std::array<int, 1> kDigits6{6};
constexpr std::array<int, 1> kDigits7{7};
constexpr std::array<int, 1> kDigits0{0};
constexpr std::array<int, 1> kDigits8{8};
constexpr std::array<int, 1> kDigits9{9};

// Any first digit a generator draws when no region is ticked.
constexpr std::array<int, 9> kAnyFirstDigit{1, 2, 3, 4, 5, 6, 7, 8, 9};

// In the order of kGroups.
constexpr std::array<GroupFacts, kGroups.size()> kFacts{{
    {kDigits1, "Atlantic", {}},
    {kDigits23, "Quebec", {}},
    {kDigits45, "Ontario", {}},
    {kDigits6, "PrairiesNorth", {}},
    {kDigits7, "PacificNorth", {}},
    {kDigits0, "ForeignTax", "foreign/tax"},
    {kDigits8, "Dummy", "dummy"},
    {kDigits9, "Temporary", "temporary"},
}};

const GroupFacts& FactsOf(RegionGroup group) {
  return kFacts[static_cast<std::size_t>(group) - static_cast<std::size_t>(kGroups.front())];
}

// The captions of each group's regions, "NB PEI NF NS", made once.
const std::array<std::string, kGroups.size()> kWords = [] {
  std::array<std::string, kGroups.size()> words;
  for (std::size_t index = 0; index < kGroups.size(); ++index) {
    for (const RegionBox& box : kRegionBoxes) {
      if (box.Group != kGroups[index]) continue;
      if (!words[index].empty()) words[index] += ' ';
      words[index] += box.Caption;
    }
  }
  return words;
}();

}  // namespace

std::optional<RegionGroup> RegionForDigit(char firstCharacter) noexcept {
  if (firstCharacter < '0' || firstCharacter > '9') return std::nullopt;
  for (const RegionGroup group : kGroups) {
    for (const int digit : FactsOf(group).firstDigits) {
      if (digit == firstCharacter - '0') return group;
    }
  }
  return std::nullopt;
}

std::span<const int> FirstDigitsOf(RegionGroup group) noexcept {
  return FactsOf(group).firstDigits;
}

std::optional<RegionGroup> HighestTickedGroup(const RegionFlags& flags) noexcept {
  for (const RegionGroup group : kRegionPriority) {
    for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
      if (kRegionBoxes[box].Group == group && IsTicked(flags[box])) return group;
    }
  }
  return std::nullopt;
}

std::span<const int> FirstDigitsFor(const RegionFlags& flags) noexcept {
  if (const std::optional<RegionGroup> group = HighestTickedGroup(flags)) {
    return FirstDigitsOf(*group);
  }
  return kAnyFirstDigit;
}

RegionFlags RegionFlagsFor(RegionGroup group) noexcept {
  RegionFlags flags{};
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    flags[box] = kRegionBoxes[box].Group == group ? 1 : 0;
  }
  return flags;
}

RegionFlags RegionFlagsOf(unsigned bits) noexcept {
  RegionFlags flags{};
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    flags[box] = (bits & kRegionBoxes[box].Bit) != 0 ? 1 : 0;
  }
  return flags;
}

unsigned RegionBitsOf(const RegionFlags& flags) noexcept {
  unsigned bits = 0;
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    if (IsTicked(flags[box])) bits |= kRegionBoxes[box].Bit;
  }
  return bits;
}

std::string_view GroupName(RegionGroup group) noexcept {
  return FactsOf(group).name;
}

std::optional<std::string_view> SeriesName(RegionGroup group) noexcept {
  const std::string_view name = FactsOf(group).seriesName;
  if (name.empty()) return std::nullopt;
  return name;
}

std::string_view RegionWords(RegionGroup group) noexcept {
  return kWords[static_cast<std::size_t>(group) - static_cast<std::size_t>(kGroups.front())];
}

}  // namespace mivaro

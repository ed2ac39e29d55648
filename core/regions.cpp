// SPDX-License-Identifier: Apache-2.0
#include "mivaro/regions.h"

#include <string>

#include "first_digits.h"

namespace mivaro {
namespace {

constexpr std::size_t IndexOf(RegionGroup group) {
  return static_cast<std::size_t>(group) - static_cast<std::size_t>(kGroups.front());
}

// Each group's first digits in ascending order, from the table of digits.
struct Digits {
  std::array<int, 10> digits{};
  std::size_t count = 0;
};
constexpr std::array<Digits, kGroups.size()> kFirstDigits = [] {
  std::array<Digits, kGroups.size()> table{};
  for (int digit = 0; digit <= 9; ++digit) {
    Digits& of =
        table[static_cast<std::size_t>(detail::kGroupOfDigit[static_cast<std::size_t>(digit)]) -
              static_cast<std::size_t>(kGroups.front())];
    of.digits[of.count++] = digit;
  }
  return table;
}();

// Any first digit a generator draws when no region is ticked.
constexpr std::array<int, 9> kAnyFirstDigit{1, 2, 3, 4, 5, 6, 7, 8, 9};

struct GroupNames {
  std::string_view name;
  std::string_view seriesName;  // empty for a region group
};

// In the order of kGroups.
constexpr std::array<GroupNames, kGroups.size()> kNames{{
    {"Atlantic", {}},
    {"Quebec", {}},
    {"Ontario", {}},
    {"PrairiesNorth", {}},
    {"PacificNorth", {}},
    {"ForeignTax", "foreign/tax"},
    {"Dummy", "dummy"},
    {"Temporary", "temporary"},
}};

// The bits of each group's regions.
constexpr std::array<unsigned, kGroups.size()> kBitsOfGroup = [] {
  std::array<unsigned, kGroups.size()> bits{};
  for (const Region& region : kRegions) bits[IndexOf(region.group)] |= region.bit;
  return bits;
}();

// The captions of each group's regions, "NB PEI NF NS", made once.
const std::array<std::string, kGroups.size()> kWords = [] {
  std::array<std::string, kGroups.size()> words;
  for (std::size_t index = 0; index < kGroups.size(); ++index) {
    for (const Region& region : kRegions) {
      if (region.group != kGroups[index]) continue;
      if (!words[index].empty()) words[index] += ' ';
      words[index] += region.caption;
    }
  }
  return words;
}();

}  // namespace

std::optional<RegionGroup> RegionForDigit(char firstCharacter) noexcept {
  if (firstCharacter < '0' || firstCharacter > '9') return std::nullopt;
  return detail::kGroupOfDigit[static_cast<std::size_t>(firstCharacter - '0')];
}

std::span<const int> FirstDigitsOf(RegionGroup group) noexcept {
  const Digits& of = kFirstDigits[IndexOf(group)];
  return std::span<const int>(of.digits.data(), of.count);
}

std::optional<RegionGroup> HighestPriorityGroup(unsigned regions) noexcept {
  for (const RegionGroup group : kRegionPriority) {
    if ((RegionBitsOf(group) & regions) != 0) return group;
  }
  return std::nullopt;
}

std::span<const int> FirstDigitsForRegions(unsigned regions) noexcept {
  if (const std::optional<RegionGroup> group = HighestPriorityGroup(regions)) {
    return FirstDigitsOf(*group);
  }
  return kAnyFirstDigit;
}

unsigned RegionBitsOf(RegionGroup group) noexcept {
  return kBitsOfGroup[IndexOf(group)];
}

std::string_view GroupName(RegionGroup group) noexcept {
  return kNames[IndexOf(group)].name;
}

std::optional<std::string_view> SeriesName(RegionGroup group) noexcept {
  const std::string_view name = kNames[IndexOf(group)].seriesName;
  if (name.empty()) return std::nullopt;
  return name;
}

std::string_view RegionWords(RegionGroup group) noexcept {
  return kWords[IndexOf(group)];
}

}  // namespace mivaro

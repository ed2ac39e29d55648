// SPDX-License-Identifier: Apache-2.0
#pragma once

// The check of nine bare digits, inline: the path almost every entry takes,
// shared by the C++ and the C functions so that neither pays a call for it.

#include <array>
#include <cstdint>
#include <string_view>

#include "mivaro/sin.h"

namespace mivaro::detail {

// What every byte is worth at a position of weight 1 (row 0) or 2 (row 1):
// its check value for a digit, kNotDigit for anything else. Or-ing them
// together tells a non-digit without a branch per byte.
inline constexpr std::uint8_t kNotDigit = 0x80;
inline constexpr std::array<std::array<std::uint8_t, 256>, 2> kByteValue = [] {
  std::array<std::array<std::uint8_t, 256>, 2> table{};
  for (std::size_t weight = 1; weight <= 2; ++weight) {
    table[weight - 1].fill(kNotDigit);
    for (int digit = 0; digit <= 9; ++digit) {
      table[weight - 1][static_cast<std::size_t>('0' + digit)] =
          static_cast<std::uint8_t>(CheckValue(static_cast<int>(weight), digit));
    }
  }
  return table;
}();

// When entry is nine ASCII digits, writes the sum of their check values and
// returns true; otherwise returns false.
inline bool SumOfNineDigits(std::string_view entry, int& sum) {
  if (entry.size() != kNumberLength) return false;
  unsigned seen = 0;
  unsigned total = 0;
  for (std::size_t at = 0; at < kNumberLength; ++at) {
    const std::uint8_t value = kByteValue[static_cast<std::size_t>(kWeights[at] - 1)]
                                         [static_cast<unsigned char>(entry[at])];
    seen |= value;
    total += value;
  }
  sum = static_cast<int>(total);
  return (seen & kNotDigit) == 0;
}

}  // namespace mivaro::detail

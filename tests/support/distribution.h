// SPDX-License-Identifier: Apache-2.0
#pragma once

// The exact distribution both generators are held to, and the chi-square
// test that holds them.

#include <array>
#include <cstddef>

namespace mivaro::testing {

// The exact chances of each first and last digit among the valid numbers the
// window's generate-until-valid loop produces with no box ticked: first digit
// and positions 2 to 8 uniform, a draw kept only when its check passes.
struct ExactDistribution {
  std::array<double, 10> first{};
  std::array<double, 10> last{};
};

inline ExactDistribution ExactNoRegionDistribution() {
  // Folded values of positions 2..8 are each uniform over 1..9 (weight 2 with
  // folding permutes 1..9), so only their sum modulo 10 matters.
  std::array<double, 10> middle{};
  middle[0] = 1.0;
  for (int position = 2; position <= 8; ++position) {
    std::array<double, 10> next{};
    for (int r = 0; r < 10; ++r) {
      for (int v = 1; v <= 9; ++v)
        next[static_cast<std::size_t>((r + v) % 10)] += middle[static_cast<std::size_t>(r)] / 9;
    }
    middle = next;
  }
  ExactDistribution exact;
  double total = 0;
  for (int first = 1; first <= 9; ++first) {
    for (int r = 0; r < 10; ++r) {
      const int prefix = (first + r) % 10;
      if (prefix == 0) continue;  // no digit 1-9 completes it
      const double chance = middle[static_cast<std::size_t>(r)] / 9;
      exact.first[static_cast<std::size_t>(first)] += chance;
      exact.last[static_cast<std::size_t>(10 - prefix)] += chance;
      total += chance;
    }
  }
  for (double& p : exact.first) p /= total;
  for (double& p : exact.last) p /= total;
  return exact;
}

inline double ChiSquare(const std::array<int, 10>& counts, const std::array<double, 10>& chances,
                        int draws) {
  double sum = 0;
  for (std::size_t digit = 1; digit <= 9; ++digit) {
    const double expected = chances[digit] * draws;
    sum += (counts[digit] - expected) * (counts[digit] - expected) / expected;
  }
  return sum;
}

// 26.12 is the 0.1% critical value of chi-square with 8 degrees of freedom.
inline constexpr double kCritical = 26.12;

}  // namespace mivaro::testing

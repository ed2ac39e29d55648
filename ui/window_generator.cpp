// SPDX-License-Identifier: Apache-2.0
#include "ui/window_generator.h"

#include <algorithm>
#include <cmath>

namespace mivaro {

int TwoWayPick(RandomSource& source) {
  // Formed in double, as the digit draw is, so no float rounding can tip r + r
  // over a boundary.
  const double r = source.NextUniform();
  const int WorkIndex = static_cast<int>(std::floor(r + r)) + 1;
  // Clamped so that a source that breaks its promise of r < 1 cannot yield a
  // digit outside the group's pair.
  return std::clamp(WorkIndex, 1, 2);
}

int DrawDigit(RandomSource& source) {
  const double r = source.NextUniform();
  constexpr int kCount = static_cast<int>(kDrawnDigits.size());
  // Clamped for the same reason: r == 1.0 would otherwise run past the last
  // digit and give a ten-character candidate.
  const int index = std::clamp(static_cast<int>(std::floor(r * kCount)), 0, kCount - 1);
  return kDrawnDigits[static_cast<std::size_t>(index)];
}

std::optional<int> PickFirstDigit(const RegionFlags& flags, RandomSource& source) {
  const std::optional<RegionGroup> group = HighestTickedGroup(flags);
  if (!group) return std::nullopt;
  const std::span<const int> digits = FirstDigitsOf(*group);
  if (digits.size() == 1) return digits.front();
  return digits[static_cast<std::size_t>(TwoWayPick(source) - 1)];
}

std::string DrawCandidate(const RegionFlags& flags, RandomSource& source) {
  std::string candidate;
  candidate.reserve(kNumberLength);
  if (const std::optional<int> first = PickFirstDigit(flags, source)) {
    candidate.push_back(static_cast<char>('0' + *first));
  }
  while (candidate.size() < kNumberLength) {
    candidate.push_back(static_cast<char>('0' + DrawDigit(source)));
  }
  return candidate;
}

void GenerateValidNumber(WindowState& state, const RegionFlags& flags, RandomSource& source,
                         AttemptObserver& observer) {
  source.Reseed(SecondsSinceMidnight());
  state.IsValid = false;
  state.Attempts = 0;
  do {
    ++state.Attempts;
    observer.AttemptBegun(state.Attempts);
    state.NumberText = DrawCandidate(flags, source);
    observer.CandidateDrawn(state.NumberText);
    const EvaluationResult result =
        EvaluateNumber(state.NumberText, state.DigitTable, state.WeightedTable);
    state.CheckSum = result.CheckSum;
    state.IsValid = result.IsValid;
    observer.CandidateEvaluated(result);
  } while (!state.IsValid);
}

}  // namespace mivaro

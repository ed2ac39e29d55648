// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ui/evaluation.h"
#include "ui/random_source.h"
#include "ui/region_boxes.h"
#include "ui/window_state.h"

namespace mivaro {

// Hears about every attempt of a GenerateValidNumber run, synchronously and in
// the order of the members below. The run goes on only when a call returns.
class AttemptObserver {
 public:
  // A new attempt has begun; Attempts has been raised and nothing drawn yet.
  virtual void AttemptBegun(std::uint64_t Attempts) = 0;
  // The candidate is in NumberText and has not been evaluated.
  virtual void CandidateDrawn(std::string_view NumberText) = 0;
  // The candidate has been evaluated; the state holds its tables and result.
  virtual void CandidateEvaluated(const EvaluationResult& result) = 0;

 protected:
  ~AttemptObserver() = default;
};

// How long each generated candidate stays shown before it is evaluated.
inline constexpr std::chrono::milliseconds kGeneratePause{75};

// The digits a draw can give, each equally likely: 1 to 9, never 0.
inline constexpr std::array<int, 9> kDrawnDigits{1, 2, 3, 4, 5, 6, 7, 8, 9};

// Returns 1 or 2 from one random value: 1 when it is below 0.5, else 2.
int TwoWayPick(RandomSource& source);

// Returns one of kDrawnDigits, each equally likely, from one random value.
int DrawDigit(RandomSource& source);

// Returns the first digit that the ticked boxes call for (the highest-priority
// ticked group; Quebec and Ontario pick one of their two digits at random), or
// nothing when no box is ticked.
std::optional<int> PickFirstDigit(const RegionFlags& flags, RandomSource& source);

// Returns one nine-digit candidate: the picked first digit and eight drawn
// ones, or nine drawn digits when no box is ticked. Never contains a 0.
std::string DrawCandidate(const RegionFlags& flags, RandomSource& source);

// Reseeds the source from the clock, then draws and evaluates candidates into
// the window state, telling the observer about each, until one is valid. On
// return NumberText holds it, Attempts its attempt number and IsValid is true.
void GenerateValidNumber(WindowState& state, const RegionFlags& flags, RandomSource& source,
                         AttemptObserver& observer);

}  // namespace mivaro

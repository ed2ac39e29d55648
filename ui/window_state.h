// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>

#include "ui/evaluation.h"

namespace mivaro {

// Everything the window remembers from one command to the next. The window
// owns one; the number rules are handed it and read and write its fields.
// The evaluation's loop counters are locals of the evaluation, since they
// carry nothing between commands.
struct WindowState {
  int CheckSum = 0;                                    // latest check sum, 0..81
  DigitSlots DigitTable = EmptyDigitSlots();           // characters of the last evaluation
  std::string NumberText;                              // the current number as text
  WeightedSlots WeightedTable = EmptyWeightedSlots();  // their folded, weighted values
  std::uint64_t Attempts = 0;                          // candidates drawn in the latest run
  std::string AppVersion;                              // shown in the About message
  bool IsValid = false;                                // the latest evaluation passed
};

}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/sin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mivaro {

// The evaluation's two tables have eleven slots, 0 to 10; only 1 to 9 are used.
inline constexpr std::size_t kTableSlots = 11;

// Slot contents. An empty slot reads as the digit value 0, so a table that has
// never been written still evaluates without surprises.
using DigitSlots = std::array<char, kTableSlots>;
using WeightedSlots = std::array<std::int8_t, kTableSlots>;
inline constexpr char kEmptyDigitSlot = '\0';
inline constexpr std::int8_t kEmptyWeightedSlot = -1;

// Returns a digit table whose eleven slots are all empty.
constexpr DigitSlots EmptyDigitSlots() {
  DigitSlots table{};
  table.fill(kEmptyDigitSlot);
  return table;
}

// Returns a weighted table whose eleven slots are all empty.
constexpr WeightedSlots EmptyWeightedSlots() {
  WeightedSlots table{};
  table.fill(kEmptyWeightedSlot);
  return table;
}

// The weights of positions 1 to 9: odd positions weigh 1, even positions 2.
inline constexpr const std::array<int, kNumberLength>& WeightPattern = kWeights;

// The outcome of one evaluation.
struct EvaluationResult {
  std::string CheckString;  // the nine folded values, one digit each
  int CheckSum = 0;         // their sum, 0 to 81
  bool IsValid = false;     // CheckSum is 10, 20, ... or 80

  friend bool operator==(const EvaluationResult&, const EvaluationResult&) = default;
};

// Returns the digit value of a character: '0'..'9' give 0..9, anything else
// (an empty slot included) gives 0.
constexpr int DigitValue(char character) {
  return character >= '0' && character <= '9' ? character - '0' : 0;
}

// Returns a digit's value at a position of the given weight: the product, or
// for a two-digit product (10..18) the sum of its two digits.
constexpr int FoldedValue(int weight, int digit) {
  return CheckValue(weight, digit);
}

// Copies NumberText into DigitTable slots 1.. (at most 9), writes the weighted,
// folded value of every position into WeightedTable slots 1..9, and returns the
// check string, check sum and validity read from them.
//
// Callers pass nine ASCII digits (see ClassifyEntry). For other text the result
// is still defined: missing positions keep whatever the tables held, and any
// character that is not a digit counts as 0.
EvaluationResult EvaluateNumber(std::string_view NumberText, DigitSlots& DigitTable,
                                WeightedSlots& WeightedTable);

}  // namespace mivaro

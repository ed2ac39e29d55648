// SPDX-License-Identifier: Apache-2.0
#include "ui/evaluation.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace mivaro {
namespace {

// The folded value of every byte at a position of weight 1 and of weight 2,
// so the hot loop is a table look-up with no branches; bytes that are not
// digits, the empty slot among them, count as 0.
using FoldTable = std::array<std::int8_t, std::numeric_limits<unsigned char>::max() + 1>;

constexpr FoldTable MakeFoldTable(int weight) {
  FoldTable table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    table[byte] =
        static_cast<std::int8_t>(FoldedValue(weight, DigitValue(static_cast<char>(byte))));
  }
  return table;
}

constexpr std::array<FoldTable, 3> kFolded{FoldTable{}, MakeFoldTable(1), MakeFoldTable(2)};

}  // namespace

EvaluationResult EvaluateNumber(std::string_view NumberText, DigitSlots& DigitTable,
                                WeightedSlots& WeightedTable) {
  // Copy at most nine characters: slot 10 belongs to nobody, and a longer text
  // must never run past the table.
  const std::size_t copied = std::min(NumberText.size(), kNumberLength);
  if (copied != 0) std::memcpy(&DigitTable[1], NumberText.data(), copied);

  // Built in a local buffer first: one short-string copy at the end is much
  // cheaper than nine writes through std::string.
  std::array<char, kNumberLength> checkDigits{};
  int checkSum = 0;
  for (std::size_t WorkIndex = 1; WorkIndex <= kNumberLength; ++WorkIndex) {
    const auto byte = static_cast<unsigned char>(DigitTable[WorkIndex]);
    const std::int8_t folded = kFolded[WeightPattern[WorkIndex - 1]][byte];
    WeightedTable[WorkIndex] = folded;
    checkSum += folded;
    checkDigits[WorkIndex - 1] = static_cast<char>('0' + folded);
  }
  return EvaluationResult{std::string(checkDigits.data(), checkDigits.size()), checkSum,
                          SumPasses(checkSum)};
}

}  // namespace mivaro

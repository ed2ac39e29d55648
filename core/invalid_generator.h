// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fast_generator.h"
#include "mivaro/generator.h"

namespace mivaro::detail {

// Draws numbers that fail validate, each of a kind drawn from the list,
// reproducibly from the seed. The checksum kind is uniform over the nine-digit
// numbers whose check fails; the others start from a valid number and break
// it one way, so each fails for one reason only. Where the kind allows, the
// number starts with a digit of the rule (when keepFirst, the letter never
// takes the first place either).
class InvalidGenerator {
 public:
  InvalidGenerator(const FirstDigitRule& rule, bool keepFirst, std::uint64_t seed, DigitRange range,
                   std::vector<InvalidKind> kinds, Style style);

  // Replaces out with the next number's text.
  void Next(std::string& out);

 private:
  std::uint32_t Below(std::uint32_t bound) { return valid_.Below(bound); }
  char DrawDigit();

  FirstDigitRule rule_;
  bool keepFirst_;
  DigitRange range_;
  std::vector<InvalidKind> kinds_;
  Style style_;
  FastGenerator valid_;  // the valid numbers the kinds break, and every random value
};

}  // namespace mivaro::detail

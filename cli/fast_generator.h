#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/evaluation.h"
#include "core/pcg32.h"
#include "core/regions.h"

namespace mivaro::cli {

// Which first digits a generated number may start with.
struct FirstDigitRule {
  // Returns the rule the window applies to a set of ticked region boxes: the
  // first ticked group in priority order, or any drawn digit when none is ticked.
  static FirstDigitRule ForRegions(const RegionFlags& flags);
  // Returns the rule for exactly one first digit, 0-9.
  static FirstDigitRule ForDigit(int digit);

  std::array<int, 10> digits{};
  std::size_t count = 0;
};

// Draws valid SINs fast and reproducibly. The distribution is the one the
// window's generate-until-valid loop gives: uniform over the valid numbers the
// first-digit rule can produce, every digit 1-9. Instead of drawing all nine
// digits until the check passes, it draws the first eight and computes the
// ninth; a prefix that no digit 1-9 can complete is drawn again, first digit
// included, which keeps every valid number exactly as likely as in the window.
class FastGenerator {
 public:
  FastGenerator(const FirstDigitRule& rule, std::uint64_t seed) : rule_(rule), random_(seed) {}

  // Writes the next valid number's nine digits into out.
  void Next(std::span<char, kNumberLength> out);

 private:
  FirstDigitRule rule_;
  Pcg32 random_;
};

}  // namespace mivaro::cli

#include "cli/fast_generator.h"

#include "core/evaluation.h"
#include "core/generator.h"

namespace mivaro::cli {

FirstDigitRule FirstDigitRule::ForRegions(const RegionFlags& flags) {
  FirstDigitRule rule;
  for (const int digit : FirstDigitsFor(flags)) rule.digits[rule.count++] = digit;
  return rule;
}

FirstDigitRule FirstDigitRule::ForDigit(int digit) {
  FirstDigitRule rule;
  rule.digits[rule.count++] = digit;
  return rule;
}

void FastGenerator::Next(std::span<char, kNumberLength> out) {
  while (true) {
    const int first = rule_.count == 1
                          ? rule_.digits[0]
                          : rule_.digits[random_.Below(static_cast<std::uint32_t>(rule_.count))];
    out[0] = static_cast<char>('0' + first);
    int sum = first;  // position 1 weighs 1
    for (std::size_t position = 1; position < kNumberLength - 1; ++position) {
      const auto digit = static_cast<int>(random_.Below(9)) + 1;
      out[position] = static_cast<char>('0' + digit);
      sum += FoldedValue(WeightPattern[position], digit);
    }
    // Position 9 weighs 1: exactly one digit 1-9 completes the sum to a
    // multiple of ten, unless it already is one (that would need a 0).
    const int last = (10 - sum % 10) % 10;
    if (last == 0) continue;
    out[kNumberLength - 1] = static_cast<char>('0' + last);
    return;
  }
}

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "mivaro/regions.h"
#include "mivaro/sin.h"
#include "pcg32.h"

namespace mivaro::detail {

// Which first digits a generated number may start with.
struct FirstDigitRule {
  // Returns the rule for a set of MIVARO_REGION_* bits: the first group in
  // priority order with a region among them, or any first digit 1-9 for none.
  static FirstDigitRule ForRegions(unsigned regions);
  // Returns the rule for exactly one first digit, 0-9.
  static FirstDigitRule ForDigit(int digit);

  std::array<int, 10> digits{};
  std::size_t count = 0;
};

// The digits of positions 2 to 9: 1 to 9 as the window draws them, or 0 to 9
// as issued numbers have them.
enum class DigitRange { OneToNine, ZeroToNine };

// Returns how many distinct valid numbers there are with the rule's first
// digits and the range's other digits.
std::uint64_t CountValidNumbers(const FirstDigitRule& rule, DigitRange range);

// Draws valid SINs fast and reproducibly, uniform over the valid numbers the
// first-digit rule and the digit range allow. With digits 1-9 that is the
// distribution of the window's generate-until-valid loop. Instead of drawing
// all nine digits until the check passes, it draws the first eight and
// computes the ninth; a prefix that no digit of the range can complete (or,
// with 0-9, the one number 000000000, whose sum is 0) is drawn again, first
// digit included, which keeps every valid number exactly as likely.
class FastGenerator {
 public:
  FastGenerator(const FirstDigitRule& rule, std::uint64_t seed,
                DigitRange range = DigitRange::OneToNine);

  // Writes the next valid number's nine digits into out.
  void Next(std::span<char, kNumberLength> out);

  // How many places there are: one for every first digit of the rule and
  // every choice of positions 2 to 8, valid or not.
  std::uint32_t Places() const;
  // Writes the number at a place into out; returns false when no digit of the
  // range completes it to a valid number.
  bool Decode(std::uint32_t place, std::span<char, kNumberLength> out) const;

  // Returns a uniform integer in [0, bound), from the same random sequence.
  std::uint32_t Below(std::uint32_t bound) { return random_.Below(bound); }

 private:
  // Completes positions 1 to 8 in out with the check digit; false if none fits.
  bool Complete(std::span<char, kNumberLength> out) const;

  FirstDigitRule rule_;
  int lowest_;  // the range's lowest digit
  int base_;    // how many digits the range has
  Pcg32 random_;
};

// Draws valid numbers that never repeat, each as likely as any other not yet
// drawn. It draws places uniformly and skips those drawn before (one bit per
// place, at most 12.5 MB); once half the places or fewer are left, and at
// most 16 million numbers, it lists them (at most 64 MB) and shuffles as it
// goes, so time stays linear in the count.
class UniqueGenerator {
 public:
  UniqueGenerator(const FirstDigitRule& rule, std::uint64_t seed, DigitRange range);

  // Writes the next number into out. At most CountValidNumbers() times.
  void Next(std::span<char, kNumberLength> out);

 private:
  void ListWhatIsLeft();
  // The next place (while skipping repeats) or shuffle slot (once listed).
  std::uint32_t TakeAhead();
  std::uint32_t DrawFor(std::uint64_t step);

  static constexpr std::size_t kAhead = 16;

  FastGenerator generator_;
  std::uint64_t left_;                                          // valid numbers not yet drawn
  std::unique_ptr<std::uint64_t, decltype(&std::free)> drawn_;  // one bit per place
  bool listed_ = false;
  std::vector<std::uint32_t> rest_;  // once listed: the places left, those not yet drawn last
  std::size_t restTaken_ = 0;
  std::array<std::uint32_t, kAhead> ahead_{};  // drawn ahead, a ring
  std::size_t aheadSlot_ = 0;
  bool primed_ = false;
};

}  // namespace mivaro::detail

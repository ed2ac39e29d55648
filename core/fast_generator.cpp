// SPDX-License-Identifier: Apache-2.0
#include "fast_generator.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace mivaro::detail {
namespace {

// Positions 2 to 8 are drawn; position 9 is the check digit.
constexpr int kDrawnPositions = static_cast<int>(kNumberLength) - 2;

std::uint32_t Power(std::uint32_t base, int exponent) {
  std::uint32_t power = 1;
  while (exponent-- > 0) power *= base;
  return power;
}

}  // namespace

FirstDigitRule FirstDigitRule::ForRegions(unsigned regions) {
  FirstDigitRule rule;
  for (const int digit : FirstDigitsForRegions(regions)) rule.digits[rule.count++] = digit;
  return rule;
}

FirstDigitRule FirstDigitRule::ForDigit(int digit) {
  FirstDigitRule rule;
  rule.digits[rule.count++] = digit;
  return rule;
}

std::uint64_t CountValidNumbers(const FirstDigitRule& rule, DigitRange range) {
  // Counts prefixes by their weighted sum modulo 10, position by position;
  // a prefix is valid when a digit of the range completes it (and, with 0-9,
  // the whole number is not nine zeros).
  const int lowest = range == DigitRange::OneToNine ? 1 : 0;
  std::uint64_t total = 0;
  for (std::size_t choice = 0; choice < rule.count; ++choice) {
    const int first = rule.digits[choice];
    std::array<std::uint64_t, 10> bySum{};
    bySum[static_cast<std::size_t>(first % 10)] = 1;
    for (std::size_t position = 1; position + 1 < kNumberLength; ++position) {
      std::array<std::uint64_t, 10> next{};
      for (int sum = 0; sum < 10; ++sum) {
        for (int digit = lowest; digit <= 9; ++digit) {
          next[static_cast<std::size_t>((sum + CheckValue(kWeights[position], digit)) % 10)] +=
              bySum[static_cast<std::size_t>(sum)];
        }
      }
      bySum = next;
    }
    for (int sum = 0; sum < 10; ++sum) {
      const int last = (10 - sum) % 10;
      if (last >= lowest) total += bySum[static_cast<std::size_t>(sum)];
    }
    if (first == 0 && lowest == 0) --total;  // 000000000: its sum is 0
  }
  return total;
}

FastGenerator::FastGenerator(const FirstDigitRule& rule, std::uint64_t seed, DigitRange range)
    : rule_(rule),
      lowest_(range == DigitRange::OneToNine ? 1 : 0),
      base_(10 - lowest_),
      random_(seed) {}

std::uint32_t FastGenerator::Places() const {
  return static_cast<std::uint32_t>(rule_.count) *
         Power(static_cast<std::uint32_t>(base_), kDrawnPositions);
}

bool FastGenerator::Complete(std::span<char, kNumberLength> out) const {
  int sum = 0;
  for (std::size_t position = 0; position + 1 < kNumberLength; ++position) {
    sum += CheckValue(kWeights[position], out[position] - '0');
  }
  // Position 9 weighs 1: exactly one digit 0-9 completes the sum to a
  // multiple of ten. It may be 0 only in the range 0-9, and the number may not
  // be nine zeros, whose sum is 0.
  const int last = (10 - sum % 10) % 10;
  if (last < lowest_ || (sum == 0 && last == 0)) return false;
  out[kNumberLength - 1] = static_cast<char>('0' + last);
  return true;
}

void FastGenerator::Next(std::span<char, kNumberLength> out) {
  // The range as a constant, so that the draws below it are as cheap as can be.
  const auto draw = [&]<std::uint32_t kBase, int kLowest>() {
    do {
      const std::uint32_t choice =
          rule_.count == 1 ? 0 : random_.Below(static_cast<std::uint32_t>(rule_.count));
      out[0] = static_cast<char>('0' + rule_.digits[choice]);
      for (std::size_t position = 1; position + 1 < kNumberLength; ++position) {
        out[position] = static_cast<char>('0' + kLowest + static_cast<int>(random_.Below(kBase)));
      }
    } while (!Complete(out));
  };
  if (lowest_ == 1) {
    draw.template operator()<9, 1>();
  } else {
    draw.template operator()<10, 0>();
  }
}

bool FastGenerator::Decode(std::uint32_t place, std::span<char, kNumberLength> out) const {
  // The base as a constant, so that dividing by it is a multiplication.
  const auto decode = [&]<std::uint32_t kBase>() {
    for (std::size_t position = kNumberLength - 2; position >= 1; --position) {
      out[position] = static_cast<char>('0' + lowest_ + static_cast<int>(place % kBase));
      place /= kBase;
    }
  };
  if (base_ == 10) {
    decode.template operator()<10>();
  } else {
    decode.template operator()<9>();
  }
  out[0] = static_cast<char>('0' + rule_.digits[place]);
  return Complete(out);
}

UniqueGenerator::UniqueGenerator(const FirstDigitRule& rule, std::uint64_t seed, DigitRange range)
    : generator_(rule, seed, range),
      left_(CountValidNumbers(rule, range)),
      // Zeroed by calloc, whose large blocks the system maps lazily: a short
      // run touches only the pages its numbers fall in.
      drawn_(static_cast<std::uint64_t*>(std::calloc(generator_.Places() / 64 + 1, 8)),
             &std::free) {
  if (!drawn_) throw std::bad_alloc();
}

void UniqueGenerator::Next(std::span<char, kNumberLength> out) {
  // Drawing and skipping repeats costs Places() / left_ draws a number; once
  // that passes 2, or too few are left to keep a bit for each, listing the
  // rest is cheaper.
  constexpr std::uint64_t kListAt = std::uint64_t{16} << 20;  // 64 MB of places
  if (!listed_ && (left_ <= kListAt && 2 * left_ <= generator_.Places())) ListWhatIsLeft();
  if (listed_) {
    // One step of a Fisher-Yates shuffle of what is left.
    const std::uint32_t pick = TakeAhead();
    std::swap(rest_[restTaken_], rest_[pick]);
    generator_.Decode(rest_[restTaken_++], out);
    --left_;
    return;
  }
  // A place drawn uniformly, taken when it is a valid number not drawn
  // before: uniform over the valid numbers left. A place drawn once is marked
  // whether valid or not, so it is passed over at the cost of one bit test.
  while (true) {
    const std::uint32_t place = TakeAhead();
    std::uint64_t& word = drawn_.get()[place / 64];
    const std::uint64_t bit = std::uint64_t{1} << (place % 64);
    if ((word & bit) != 0) continue;
    word |= bit;
    if (generator_.Decode(place, out)) {
      --left_;
      return;
    }
  }
}

std::uint32_t UniqueGenerator::DrawFor(std::uint64_t step) {
  if (!listed_) {
    const std::uint32_t place = generator_.Below(generator_.Places());
    __builtin_prefetch(&drawn_.get()[place / 64]);
    return place;
  }
  // Step t of the shuffle picks from the places t to the end.
  if (step >= rest_.size()) return 0;
  const auto pick = static_cast<std::uint32_t>(
      step + generator_.Below(static_cast<std::uint32_t>(rest_.size() - step)));
  __builtin_prefetch(&rest_[pick]);
  return pick;
}

std::uint32_t UniqueGenerator::TakeAhead() {
  // Each step's random bit or slot is far off in memory; drawing kAhead steps
  // ahead lets the memory be fetched while the steps before it run.
  if (!primed_) {
    for (std::size_t slot = 0; slot < kAhead; ++slot) ahead_[slot] = DrawFor(restTaken_ + slot);
    aheadSlot_ = 0;
    primed_ = true;
  }
  const std::uint32_t taken = ahead_[aheadSlot_];
  ahead_[aheadSlot_] = DrawFor(restTaken_ + kAhead);
  aheadSlot_ = (aheadSlot_ + 1) % kAhead;
  return taken;
}

void UniqueGenerator::ListWhatIsLeft() {
  rest_.reserve(left_);
  std::array<char, kNumberLength> digits{};
  const std::uint32_t places = generator_.Places();
  for (std::uint32_t word = 0; word <= places / 64; ++word) {
    // Only the places not yet marked, lowest first.
    for (std::uint64_t free = ~drawn_.get()[word]; free != 0; free &= free - 1) {
      const auto place = static_cast<std::uint32_t>(word * 64 + std::countr_zero(free));
      if (place < places && generator_.Decode(place, digits)) rest_.push_back(place);
    }
  }
  drawn_.reset();
  listed_ = true;
  primed_ = false;  // what was drawn ahead was for the other way of drawing
}

}  // namespace mivaro::detail

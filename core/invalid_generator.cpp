// SPDX-License-Identifier: Apache-2.0
#include "invalid_generator.h"

#include <algorithm>

namespace mivaro::detail {

InvalidGenerator::InvalidGenerator(const FirstDigitRule& rule, bool keepFirst, std::uint64_t seed,
                                   DigitRange range, std::vector<InvalidKind> kinds, Style style)
    : rule_(rule),
      keepFirst_(keepFirst),
      range_(range),
      kinds_(std::move(kinds)),
      style_(style),
      valid_(rule, seed, range) {}

char InvalidGenerator::DrawDigit() {
  return range_ == DigitRange::OneToNine ? static_cast<char>('1' + Below(9))
                                         : static_cast<char>('0' + Below(10));
}

void InvalidGenerator::Next(std::string& out) {
  out.clear();
  std::array<char, kNumberLength> digits{};
  const InvalidKind kind = kinds_.size() == 1
                               ? kinds_.front()
                               : kinds_[Below(static_cast<std::uint32_t>(kinds_.size()))];
  switch (kind) {
    case InvalidKind::Checksum: {
      // Every position drawn, the check digit too, until the check fails.
      do {
        digits[0] =
            static_cast<char>('0' + rule_.digits[Below(static_cast<std::uint32_t>(rule_.count))]);
        for (std::size_t position = 1; position < kNumberLength; ++position) {
          digits[position] = DrawDigit();
        }
      } while (IsValid(std::string_view(digits.data(), digits.size())));
      out = Format(digits, style_);
      return;
    }
    case InvalidKind::Zeros:
      digits.fill('0');
      out = Format(digits, style_);
      return;
    case InvalidKind::Length: {
      valid_.Next(digits);
      out.assign(digits.data(), digits.size());
      // A digit dropped or one added, never the first.
      if (Below(2) == 0) {
        out.erase(1 + Below(kNumberLength - 1), 1);
      } else {
        out.insert(out.begin() + 1 + Below(kNumberLength), DrawDigit());
      }
      return;
    }
    case InvalidKind::Letters: {
      valid_.Next(digits);
      out.assign(digits.data(), digits.size());
      const std::uint32_t first = keepFirst_ ? 1 : 0;
      out[first + Below(kNumberLength - first)] = static_cast<char>('A' + Below(26));
      return;
    }
    case InvalidKind::Grouping: {
      valid_.Next(digits);
      // One to three separators, each a space or a hyphen, in the gaps
      // between digits; never the one right way of grouping.
      std::array<char, kNumberLength - 1> gaps{};
      do {
        gaps.fill('\0');
        const std::uint32_t count = 1 + Below(3);
        for (std::uint32_t placed = 0; placed < count;) {
          char& gap = gaps[Below(kNumberLength - 1)];
          if (gap != '\0') continue;
          gap = Below(2) == 0 ? ' ' : '-';
          ++placed;
        }
      } while (std::count(gaps.begin(), gaps.end(), '\0') == kNumberLength - 3 && gaps[2] != '\0' &&
               gaps[5] == gaps[2]);
      for (std::size_t position = 0; position < kNumberLength; ++position) {
        out += digits[position];
        if (position < gaps.size() && gaps[position] != '\0') out += gaps[position];
      }
      return;
    }
  }
}

}  // namespace mivaro::detail

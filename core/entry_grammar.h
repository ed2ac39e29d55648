// SPDX-License-Identifier: Apache-2.0
#pragma once

// The grammar of an entry: the definition of what Check takes for a number,
// and why it refuses the rest. The fast routes of check.cpp and the
// streaming EntryReader give what CheckByGrammar gives, held to it by the
// table of entries and the fuzz target.

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "first_digits.h"
#include "mivaro/sin.h"
#include "nine_digits.h"

namespace mivaro::detail {

// A spreadsheet's mark for text, which may lead an entry's content.
inline constexpr char32_t kTextMark = U'\'';

// The result of an entry that is not a number to check, for a reason.
inline Result Malformed(Error error) {
  Result result;
  result.error = error;
  return result;
}

// Writes the result for nine characters, or returns false when they are not
// nine ASCII digits. One pass, with no branch per character; inline, for
// the routes that almost every entry takes.
inline bool Evaluate(const char* digits, Result& result) {
  unsigned seen = 0;
  unsigned sum = 0;
  std::array<std::uint8_t, kNumberLength> values{};
  for (std::size_t at = 0; at < kNumberLength; ++at) {
    values[at] = kByteValue[static_cast<std::size_t>(kWeights[at] - 1)]
                           [static_cast<unsigned char>(digits[at])];
    seen |= values[at];
    sum += values[at];
  }
  if ((seen & kNotDigit) != 0) return false;
  // Only nine zeros sum to 0: every other digit has a check value above 0.
  if (sum == 0) {
    result = Malformed(Error::Placeholder);
    return true;
  }
  std::memcpy(result.number.data(), digits, kNumberLength);
  for (std::size_t at = 0; at < kNumberLength; ++at) {
    result.check[at] = static_cast<char>('0' + values[at]);
  }
  result.sum = static_cast<int>(sum);
  result.valid = SumPasses(result.sum);
  const auto first = static_cast<std::size_t>(digits[0] - '0');
  result.group = kGroupOfDigit[first];
  result.regions = kBitsOfDigit[first];
  return true;
}

// The verdict on well-formed UTF-8 content (an entry without the blanks
// around it) of at most EntryReader::kContentCharacters characters.
Result JudgeContent(std::string_view content);

// The verdict on an entry by the grammar itself: every byte must be UTF-8;
// the blanks around are no part of it; what is between them, the content,
// is judged when it is short enough to be a number at all. In fixed memory,
// whatever the entry's length.
Result CheckByGrammar(std::string_view entry) noexcept;

}  // namespace mivaro::detail

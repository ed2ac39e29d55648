// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the scanner's rules see in text: the characters that join, separate
// or are seen through, the keywords, and the search for runs of digits that
// may start a number. Inline, for the scanner's hot loops.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mivaro/sin.h"
#include "text/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mivaro::detail {

// Characters the rules see through: they may stand between a SIN's digits
// without hiding it.
constexpr bool IsZeroWidth(char32_t c) {
  return c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF || c == 0x00AD;
}

constexpr bool IsDigit(char32_t c) {
  return c >= '0' && c <= '9';
}

// A hyphen-minus, the Unicode hyphens and dashes, and the minus sign.
constexpr bool IsDash(char32_t c) {
  return c == '-' || (c >= 0x2010 && c <= 0x2014) || c == 0x2212;
}

// What may join the three groups of a SIN in running text.
constexpr bool IsGroupSeparator(char32_t c) {
  return c == ' ' || c == 0x00A0 || c == 0x202F || c == '.' || IsDash(c);
}

// A letter, a digit or an underscore of any script: what a SIN must not be
// joined to. Outside ASCII everything is taken for a letter but for the
// blocks of punctuation, symbols, spaces and emoji.
constexpr bool IsWordCharacter(char32_t c) {
  if (c < 0x80) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  }
  if (c < 0xC0) return c == 0xAA || c == 0xB5 || c == 0xBA;
  if (c == 0xD7 || c == 0xF7 || c == 0xFFFD) return false;
  if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, shapes
  if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
  if ((c >= 0xFE10 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF0F) ||
      (c >= 0xFF1A && c <= 0xFF20)) {
    return false;  // vertical, small and fullwidth punctuation
  }
  if (c >= 0x1F000 && c <= 0x1FAFF) return false;  // emoji and pictographs
  return !text::IsBlank(c);
}

// The keywords, folded: lower case, no accents, any blank, hyphen or
// underscore between words written as one space. Each is reported by its
// name. NAS counts only in capitals.
struct Keyword {
  std::string_view folded;
  std::string_view name;
  bool capitalsOnly = false;
};

inline constexpr std::array<Keyword, 9> kKeywords{{
    {"social insurance", "social insurance"},
    {"social ins", "social ins"},
    {"soc ins", "soc ins"},
    {"assurance sociale", "assurance sociale"},
    {"assurance social", "assurance social"},
    {"s.i.n", "S.I.N."},
    {"n.a.s", "N.A.S."},
    {"sin", "SIN"},
    {"nas", "NAS", true},
}};

// What may stand against a keyword: anything but a letter or digit. An
// underscore may, unlike against a number, for names such as
// "employee_sin" and "social_insurance_number".
constexpr bool JoinsKeyword(char32_t c) {
  return IsWordCharacter(c) && c != '_';
}

// The most bytes a keyword takes, in the widest characters and blanks.
inline constexpr std::size_t kLongestKeywordBytes = 24 * 4;

// The first letters of the keywords, in either case.
constexpr bool MayStartKeyword(char c) {
  return c == 's' || c == 'S' || c == 'n' || c == 'N' || c == 'a' || c == 'A';
}

// Returns the first place at or after from where text holds an ASCII digit,
// or text's size.
inline std::size_t FindDigit(std::string_view text, std::size_t from) {
  const char* data = text.data();
  const std::size_t size = text.size();
#if defined(__SSE2__)
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  const auto digits = [&](std::size_t at) {
    const __m128i v =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), zero);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, nine), v)));
  };
  for (; from + 32 <= size; from += 32) {
    const unsigned low = digits(from);
    const unsigned high = digits(from + 16);
    if ((low | high) != 0) {
      return from + static_cast<std::size_t>(__builtin_ctz(low | (high << 16)));
    }
  }
#endif
  while (from<size&& static_cast<unsigned char>(data[from] - '0')> 9) ++from;
  return from;
}

// Whether a run of digits that lies whole in the text can be dismissed from
// the bytes around it: joined to a letter, digit or underscore before it, or
// neither nine digits nor three with a separator after them. A byte beyond
// ASCII after it may be a character seen through, so it never dismisses.
constexpr bool DismissedBy(unsigned char before, unsigned char after, std::size_t count) {
  if (before < 0x80 && IsWordCharacter(before)) return true;
  if (after >= 0x80 || count == kNumberLength) return false;
  return count != 3 || (after != ' ' && after != '-' && after != '.');
}

#if defined(__SSE2__)
// One bit per byte of 64 that is an ASCII digit.
inline std::uint64_t DigitMask(const char* bytes) {
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i v =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i)), zero);
    const auto bits =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, nine), v)));
    mask |= std::uint64_t{bits} << (16 * i);
  }
  return mask;
}
#else
// One bit per byte of 64 that is an ASCII digit, a byte at a time where
// there is no SSE2 (WebAssembly): the dismissing of runs below is the gain.
inline std::uint64_t DigitMask(const char* bytes) {
  std::uint64_t mask = 0;
  for (unsigned i = 0; i < 64; ++i) {
    const auto digit = static_cast<unsigned>(static_cast<unsigned char>(bytes[i]) - '0') <= 9U;
    mask |= std::uint64_t{digit} << i;
  }
  return mask;
}
#endif

// Returns where the first run of digits at or after from starts that the
// bytes around it cannot dismiss, or a place from which to search on byte by
// byte; most runs in logs (dates, times, IDs) never leave this loop.
inline std::size_t SkipDismissedRuns(std::string_view text, std::size_t from) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  for (; from + 64 < text.size(); from += 64) {
    std::uint64_t mask = DigitMask(text.data() + from);
    if (mask == 0) continue;
    // A run that started before the block is not a start.
    if ((mask & 1U) != 0 && from > 0 && static_cast<unsigned>(byte(from - 1) - '0') <= 9U) {
      if (~mask == 0) continue;
      mask &= mask + 1;  // clears the ones at the bottom
    }
    while (mask != 0) {
      const auto start = static_cast<std::size_t>(__builtin_ctzll(mask));
      const std::uint64_t rest = ~(mask >> start);
      if (rest == 0) return from + start;  // 64 digits: the run goes on past the block
      const auto count = static_cast<std::size_t>(__builtin_ctzll(rest));
      if (start + count >= 64) return from + start;  // runs on past the block
      const unsigned char before = from + start > 0 ? byte(from + start - 1) : ' ';
      if (!DismissedBy(before, byte(from + start + count), count)) return from + start;
      mask &= ~(((std::uint64_t{1} << count) - 1) << start);
    }
  }
  return from;
}

}  // namespace mivaro::detail

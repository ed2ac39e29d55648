// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the scanning rules see in text: the characters that are seen through,
// that join a number to a word, and the keywords. Inline, for the hot loops.

#include <array>
#include <cstddef>
#include <string_view>

#include "separators.h"
#include "text/utf8.h"

namespace mivaro::detail {

// Characters the rules see through: they may stand between a SIN's digits
// without hiding it.
constexpr bool IsZeroWidth(char32_t c) {
  return c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF || c == 0x00AD;
}

constexpr bool IsDigit(char32_t c) {
  return c >= '0' && c <= '9';
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
// name. NAS counts only in capitals. Longer ones come first, so that the
// longest that starts at a place is the one found.
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

}  // namespace mivaro::detail

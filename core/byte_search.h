// SPDX-License-Identifier: Apache-2.0
#pragma once

// The searches that run over every byte of a text: for runs of digits that
// may start a number, and for places where a keyword may start. Each has a
// portable definition here, a byte at a time, and an accelerated route
// (byte_search_sse2.cpp) that gives exactly the same answers, held to the
// definition by the same tests (tests/core/byte_search_test.cpp) and by the
// fuzz target. The searcher takes the accelerated route where there is one.

#include <cstddef>
#include <string_view>

#include "mivaro/sin.h"
#include "scan_text.h"

namespace mivaro::detail {

constexpr bool IsAsciiDigit(unsigned char byte) {
  return static_cast<unsigned char>(byte - '0') <= 9U;
}

// Whether a run of count digits at start, followed by at least one byte of
// the text, can be dismissed from the bytes around it: joined to a letter,
// digit or underscore before it; nine digits joined to a letter or
// underscore after them; three digits and a separator that the bytes after
// them show to be no grouped number; any other length. A byte beyond ASCII
// may be a character the rules see through, so where the answer would hang
// on one, the run is never dismissed.
constexpr bool Dismissed(std::string_view text, std::size_t start, std::size_t count) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  if (start > 0 && byte(start - 1) < 0x80 && IsWordCharacter(byte(start - 1))) return true;
  const unsigned char after = byte(start + count);
  if (after >= 0x80) return false;
  if (count == kNumberLength) return IsWordCharacter(after);
  if (count != 3 || (after != ' ' && after != '-' && after != '.')) return true;
  // "ddd S ddd S ddd" must follow, with one ASCII separator S.
  if (start + 11 > text.size()) return false;
  for (std::size_t i = 4; i < 11; ++i) {
    if (byte(start + i) >= 0x80) return false;
  }
  const bool grouped = IsAsciiDigit(byte(start + 4)) && IsAsciiDigit(byte(start + 5)) &&
                       IsAsciiDigit(byte(start + 6)) && byte(start + 7) == after &&
                       IsAsciiDigit(byte(start + 8)) && IsAsciiDigit(byte(start + 9)) &&
                       IsAsciiDigit(byte(start + 10));
  return !grouped;
}

// Returns where the first run of ASCII digits that starts at or after from
// (a digit after a byte that is not one; a run that began before from is not
// one) and that Dismissed does not dismiss begins, or text.size() when there
// is none. A run that reaches the end of the text is not dismissed: it may
// go on.
inline std::size_t SkipDismissedRunsPortable(std::string_view text, std::size_t from) {
  const auto digit = [&](std::size_t at) {
    return IsAsciiDigit(static_cast<unsigned char>(text[at]));
  };
  std::size_t at = from;
  // The rest of a run that began before from.
  if (at > 0) {
    while (at < text.size() && digit(at) && digit(at - 1)) ++at;
  }
  while (at < text.size()) {
    if (!digit(at)) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && digit(end)) ++end;
    if (end == text.size() || !Dismissed(text, at, end - at)) return at;
    at = end;
  }
  return text.size();
}

// Whether a keyword may start at a letter followed by a byte: s, n or a in
// either case, followed by a byte that may be its keyword's second
// character (or one beyond ASCII, which may fold to one).
constexpr bool MayStartKeyword(unsigned char first, unsigned char second) {
  const unsigned char lower = first | 0x20U;
  if (second >= 0x80) return lower == 's' || lower == 'n' || lower == 'a';
  const unsigned char next = (second >= 'A' && second <= 'Z') ? second | 0x20U : second;
  switch (lower) {
    case 's':  // social, soc, s.i.n, sin
      return next == 'o' || next == '.' || next == 'i';
    case 'n':  // n.a.s, nas
      return next == '.' || next == 'a';
    case 'a':  // assurance
      return next == 's';
    default:
      return false;
  }
}

// Returns the first place in [from, to) where a keyword may start by
// MayStartKeyword (the last byte of the text, with no second one, always
// may), or to when there is none; to is at most text.size().
inline std::size_t NextKeywordStartPortable(std::string_view text, std::size_t from,
                                            std::size_t to) {
  for (std::size_t at = from; at < to; ++at) {
    const auto first = static_cast<unsigned char>(text[at]);
    const unsigned char lower = first | 0x20U;
    if (lower != 's' && lower != 'n' && lower != 'a') continue;
    if (at + 1 == text.size() || MayStartKeyword(first, static_cast<unsigned char>(text[at + 1]))) {
      return at;
    }
  }
  return to;
}

#if defined(__SSE2__)
// The accelerated routes: 64 bytes at a time with SSE2, then the portable
// definitions for what is left.
std::size_t SkipDismissedRunsSse2(std::string_view text, std::size_t from);
std::size_t NextKeywordStartSse2(std::string_view text, std::size_t from, std::size_t to);
#endif

// The routes the searcher takes.
inline std::size_t SkipDismissedRuns(std::string_view text, std::size_t from) {
#if defined(__SSE2__)
  return SkipDismissedRunsSse2(text, from);
#else
  return SkipDismissedRunsPortable(text, from);
#endif
}

inline std::size_t NextKeywordStart(std::string_view text, std::size_t from, std::size_t to) {
#if defined(__SSE2__)
  return NextKeywordStartSse2(text, from, to);
#else
  return NextKeywordStartPortable(text, from, to);
#endif
}

}  // namespace mivaro::detail

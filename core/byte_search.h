// SPDX-License-Identifier: Apache-2.0
#pragma once

// The searches that run over every byte of a text: for runs of digits that
// may start a number, and for places where a keyword may start. Each has a
// portable definition here, a byte at a time, and an accelerated route
// (byte_search_sse2.cpp) that gives exactly the same answers, held to the
// definition by the same tests (tests/core/byte_search_test.cpp) and by the
// fuzz target. The searcher takes the accelerated route where there is one.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "mivaro/sin.h"
#include "nine_digits.h"
#include "scan_text.h"

namespace mivaro::detail {

constexpr bool IsAsciiDigit(unsigned char byte) {
  return static_cast<unsigned char>(byte - '0') <= 9U;
}

// Whether nine digits pass the check, read where they lie: together, or in
// three groups of three a byte apart.
inline bool PassesAt(const char* first, bool grouped) {
  Number digits{};
  const std::size_t gap = grouped ? 1 : 0;
  for (std::size_t group = 0; group < 3; ++group) {
    for (std::size_t i = 0; i < 3; ++i) digits[3 * group + i] = first[(3 + gap) * group + i];
  }
  int sum = 0;
  return SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum) && SumPasses(sum);
}

// Whether a run of count digits at start, followed by at least one byte of
// the text, can be dismissed from the bytes around it: joined to a letter,
// digit or underscore before it; nine digits joined to a letter or
// underscore after them, or failing the check; three digits and a separator
// that the bytes after them show to be no grouped number, or a grouped
// number that fails the check or is joined to a letter, digit or underscore
// after it; any other length. A byte beyond ASCII may be a character the
// rules see through, so where the answer would hang on one, the run is
// never dismissed.
constexpr bool Dismissed(std::string_view text, std::size_t start, std::size_t count) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  if (start > 0 && byte(start - 1) < 0x80 && IsWordCharacter(byte(start - 1))) return true;
  // Nine digits that fail the check are no SIN, whatever surrounds them:
  // more digits seen through would make them no SIN either.
  if (count == kNumberLength && !PassesAt(text.data() + start, false)) return true;
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
  if (!grouped || !PassesAt(text.data() + start, true)) return true;
  // Joined to what follows it: a longer number, a word.
  return start + 11 < text.size() && byte(start + 11) < 0x80 && IsWordCharacter(byte(start + 11));
}

// A window of 64 bytes of a text and the runs of digits starting in it that
// Dismissed does not dismiss.
struct KeptRuns {
  std::size_t at = 0;        // where the window starts: a multiple of 64
  std::uint64_t starts = 0;  // bit i: a kept run starts at at + i
  // Whether every byte from two before the window to 128 past its start is
  // ASCII, as the route that found the runs saw; false when it did not look.
  bool ascii = false;
  // The digits and the bytes beyond ASCII of the window after this one,
  // where the route read them, so that the next search need not again.
  bool nextRead = false;
  std::uint64_t nextDigits = 0;
  std::uint64_t nextBeyond = 0;
};

// Returns the kept runs at or after from in the window of 64 bytes that
// holds from, or in the next window that has any; or no starts, at
// text.size(), when none is left. A run starts at a digit that follows a
// byte that is not one (or the text's start), so a run that began before
// from is not one. A run that reaches the end of the text is kept: it may go
// on.
// Returns the starts of the kept runs that start in the window of 64 bytes
// (or fewer, at the text's end) at window, measured on through the text.
inline std::uint64_t KeptRunsIn(std::string_view text, std::size_t window) {
  const auto digit = [&](std::size_t at) {
    return IsAsciiDigit(static_cast<unsigned char>(text[at]));
  };
  std::uint64_t starts = 0;
  const std::size_t last = std::min(window + 64, text.size());
  for (std::size_t at = window; at < last;) {
    // Eight bytes with no digit at once: a byte minus '0' below ten.
    if (at + 8 <= last) {
      std::uint64_t word = 0;
      std::memcpy(&word, text.data() + at, 8);
      constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
      const std::uint64_t shifted = word ^ (kOnes * '0');
      if (((shifted - kOnes * 10) & ~shifted & (kOnes * 0x80)) == 0) {
        at += 8;
        continue;
      }
    }
    if (!digit(at) || (at > 0 && digit(at - 1))) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && digit(end)) ++end;
    if (end == text.size() || !Dismissed(text, at, end - at)) {
      starts |= std::uint64_t{1} << (at - window);
    }
    at = end;
  }
  return starts;
}

// The starts at or after from of a window's starts.
constexpr std::uint64_t StartsFrom(std::uint64_t starts, std::size_t window, std::size_t from) {
  return from > window ? starts & (~std::uint64_t{0} << (from - window)) : starts;
}

inline KeptRuns NextKeptRunsPortable(std::string_view text, std::size_t from) {
  for (std::size_t window = from - from % 64; window < text.size(); window += 64) {
    if (const std::uint64_t starts = StartsFrom(KeptRunsIn(text, window), window, from)) {
      return {window, starts};
    }
  }
  return {text.size(), 0};
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
KeptRuns NextKeptRunsSse2(std::string_view text, std::size_t from, const KeptRuns& last);
std::size_t NextKeywordStartSse2(std::string_view text, std::size_t from, std::size_t to);
#endif

// The routes the searcher takes. The runs it found last, in the same text,
// may save reading a window again.
inline KeptRuns NextKeptRuns(std::string_view text, std::size_t from, const KeptRuns& last) {
#if defined(__SSE2__)
  return NextKeptRunsSse2(text, from, last);
#else
  (void)last;
  return NextKeptRunsPortable(text, from);
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

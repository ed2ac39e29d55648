// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where a place in a text lies: its line, and its place from the text's
// start and from its line's start in bytes, code points and UTF-16 units.
// Counted forward over the bytes between places, eight at a time.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "mivaro/scan.h"

namespace mivaro::detail {

// Returns how many bytes of a word have their top bit set, for a word with
// no other bit set: without a popcount instruction, which the baseline of
// x86-64 lacks.
constexpr unsigned TopBits(std::uint64_t tops) {
  return static_cast<unsigned>(((tops >> 7) * 0x0101010101010101ULL) >> 56);
}

// Returns how many bytes of eight are UTF-8 continuation bytes (10xxxxxx).
constexpr unsigned ContinuationBytes(std::uint64_t word) {
  return TopBits(word & ~(word << 1) & 0x8080808080808080ULL);
}

// The counts of a stretch of UTF-8: every byte but a continuation byte
// starts a code point, and the lead of a four-byte sequence (F0 to F4) one
// of two UTF-16 units.
struct Counted {
  std::uint64_t codePoints = 0;
  std::uint64_t utf16 = 0;
};

// The definition, eight bytes at a time.
inline Counted CountPortable(std::string_view bytes) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  // Most stretches between matches are ASCII: one unit of each a byte.
  std::uint64_t any = 0;
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, 8);
    any |= word;
  }
  for (; at < bytes.size(); ++at) any |= static_cast<unsigned char>(bytes[at]);
  if ((any & kHigh) == 0) return {bytes.size(), bytes.size()};
  Counted counted;
  for (at = 0; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, 8);
    // 11110xxx: F0 to F7, of which F5 to F7 lead nothing (rare: looked at).
    std::uint64_t four = word & (word << 1) & (word << 2) & (word << 3) & ~(word << 4) & kHigh;
    counted.codePoints += 8 - ContinuationBytes(word);
    for (; four != 0; four &= four - 1) {
      const auto byte = static_cast<unsigned char>(word >> (__builtin_ctzll(four) - 7));
      counted.utf16 += byte <= 0xF4U ? 1 : 0;
    }
  }
  for (; at < bytes.size(); ++at) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    counted.codePoints += (byte & 0xC0U) != 0x80U ? 1 : 0;
    counted.utf16 += byte >= 0xF0U && byte <= 0xF4U ? 1 : 0;
  }
  counted.utf16 += counted.codePoints;
  return counted;
}

#if defined(__SSE2__)
// The accelerated route, sixteen bytes at a time (byte_search_sse2.cpp).
Counted CountSse2(std::string_view bytes);
#endif

inline Counted Count(std::string_view bytes) {
#if defined(__SSE2__)
  return CountSse2(bytes);
#else
  return CountPortable(bytes);
#endif
}

// Follows a text forward, place by place, keeping the line and units of the
// place it has reached.
class PlaceCounter {
 public:
  // Counts forward over the bytes from the place reached to the next one,
  // which they end at.
  void Advance(std::string_view bytes) {
    const char* const end = bytes.data() + bytes.size();
    const char* lineStart = nullptr;
    // memchr from line to line: libc's is the fastest search there is.
    for (const char* at = bytes.data();
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))));
         lineStart = ++at) {
      ++line_;
    }
    // Each byte counted once: those before the last line's start for the
    // place alone, the last line's for the column too.
    const std::size_t split =
        lineStart != nullptr ? static_cast<std::size_t>(lineStart - bytes.data()) : 0;
    const Counted before = Count(bytes.substr(0, split));
    const Counted line = Count(bytes.substr(split));
    place_.bytes += bytes.size();
    place_.codePoints += before.codePoints + line.codePoints;
    place_.utf16 += before.utf16 + line.utf16;
    if (lineStart != nullptr) column_ = {1, 1, 1};
    column_.bytes += bytes.size() - split;
    column_.codePoints += line.codePoints;
    column_.utf16 += line.utf16;
  }

  std::uint64_t Line() const { return line_; }
  const TextUnits& Place() const { return place_; }
  const TextUnits& Column() const { return column_; }

 private:
  std::uint64_t line_ = 1;
  TextUnits place_;
  TextUnits column_{1, 1, 1};
};

}  // namespace mivaro::detail

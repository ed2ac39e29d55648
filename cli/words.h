// SPDX-License-Identifier: Apache-2.0
#pragma once

// Tests on text eight bytes at a time, for the checks that run on every
// cell and entry the bulk commands write.

#include <cstdint>
#include <cstring>
#include <string_view>

namespace mivaro::cli {

// A byte repeated in every byte of a word, and the high bit of every byte.
inline constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Returns whether found(word) is not zero for any eight bytes of text. A
// text shorter than a word is padded with pad, which must not be found; the
// last word may overlap the one before.
template <typename Found>
bool AnyWord(std::string_view text, char pad, const Found& found) {
  std::uint64_t word = kEachByte * static_cast<unsigned char>(pad);
  if (text.size() < sizeof word) {
    std::memcpy(&word, text.data(), text.size());
    return found(word) != 0;
  }
  for (std::size_t at = 0; at + sizeof word < text.size(); at += sizeof word) {
    std::memcpy(&word, text.data() + at, sizeof word);
    if (found(word) != 0) return true;
  }
  std::memcpy(&word, text.data() + text.size() - sizeof word, sizeof word);
  return found(word) != 0;
}

// The high bit of each byte of a word that equals c (at least of the first
// such byte: a word xor c has a zero byte there).
constexpr std::uint64_t BytesEqual(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (kEachByte * static_cast<unsigned char>(c));
  return (x - kEachByte) & ~x & kHighBits;
}

// Not zero when a byte of a word is not printable ASCII: subtracting 0x20
// from each byte borrows into a high bit the byte did not have where one is
// below 0x20, and adding 1 to each (or the byte itself) sets one where one is
// above 0x7E.
constexpr std::uint64_t NotPrintable(std::uint64_t word) {
  return (((word - kEachByte * 0x20) & ~word) | (word + kEachByte) | word) & kHighBits;
}

}  // namespace mivaro::cli

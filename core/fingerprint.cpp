// SPDX-License-Identifier: Apache-2.0
// Fingerprints that track a finding from run to run without holding its
// number: FNV-1a over where it is and its line with the digits hidden, then
// mixed with how many alike came before it.
#include <array>

#include "mivaro/scan.h"

namespace mivaro {
namespace {

constexpr std::uint64_t kOffsetBasis = 14695981039346656037ULL;
constexpr std::uint64_t kPrime = 1099511628211ULL;

// Hashes bytes with every ASCII digit taken as '#'.
std::uint64_t HashMasked(std::uint64_t hash, std::string_view bytes) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c >= '0' && c <= '9' ? '#' : c);
    hash *= kPrime;
  }
  // A separator no text holds, so that "ab"+"c" and "a"+"bc" differ.
  return (hash ^ 0xFFu) * kPrime;
}

// splitmix64's finalizer: every bit of the result depends on every bit.
std::uint64_t Mix(std::uint64_t value) {
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
  return value ^ (value >> 31);
}

}  // namespace

std::uint64_t FingerprintKey(std::string_view name, std::string_view place, const Found& found) {
  std::uint64_t hash = kOffsetBasis;
  for (const std::string_view part : {name, place, found.before, found.text, found.after}) {
    hash = HashMasked(hash, part);
  }
  return hash;
}

std::string Fingerprint(std::uint64_t key, std::uint64_t occurrence) {
  static constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  std::uint64_t value = Mix(key ^ Mix(occurrence + 1));
  std::string hex(16, '0');
  for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit, value >>= 4) {
    *digit = kHex[value & 0xF];
  }
  return hex;
}

}  // namespace mivaro

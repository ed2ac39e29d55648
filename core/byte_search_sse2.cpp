// SPDX-License-Identifier: Apache-2.0
// The accelerated routes of byte_search.h: a mask of 64 bytes at a time
// with SSE2, then the runs or letters it marks read one by one with the
// portable rules. What the blocks leave at the end goes the portable way.
#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

#include "byte_search.h"

namespace mivaro::detail {
namespace {

__m128i Load(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

std::uint64_t Mask16(__m128i bits, int shift) {
  return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(bits))} << shift;
}

// One bit per byte of 64 that is an ASCII digit.
std::uint64_t DigitMask(const char* bytes) {
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_sub_epi8(Load(bytes + 16 * i), zero);
    mask |= Mask16(_mm_cmpeq_epi8(_mm_min_epu8(v, nine), v), 16 * i);
  }
  return mask;
}

// One bit per byte of 64 where MayStartKeyword holds of it and the byte
// after it; the 65th byte must be readable.
std::uint64_t KeywordMask(const char* bytes) {
  const __m128i lower = _mm_set1_epi8(0x20);
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i first = _mm_or_si128(Load(bytes + 16 * i), lower);
    const __m128i raw = Load(bytes + 16 * i + 1);
    // The second byte folded: ASCII capitals to small letters only.
    const __m128i capital = _mm_and_si128(_mm_cmpgt_epi8(raw, _mm_set1_epi8('A' - 1)),
                                          _mm_cmplt_epi8(raw, _mm_set1_epi8('Z' + 1)));
    const __m128i second = _mm_or_si128(raw, _mm_and_si128(capital, lower));
    const __m128i beyond = _mm_cmplt_epi8(raw, _mm_setzero_si128());  // a byte of 0x80 or more
    const auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    const __m128i dot = is(raw, '.');
    const __m128i s = _mm_and_si128(
        is(first, 's'),
        _mm_or_si128(_mm_or_si128(is(second, 'o'), is(second, 'i')), _mm_or_si128(dot, beyond)));
    const __m128i n =
        _mm_and_si128(is(first, 'n'), _mm_or_si128(_mm_or_si128(dot, is(second, 'a')), beyond));
    const __m128i a = _mm_and_si128(is(first, 'a'), _mm_or_si128(is(second, 's'), beyond));
    mask |= Mask16(_mm_or_si128(_mm_or_si128(s, n), a), 16 * i);
  }
  return mask;
}

}  // namespace

std::size_t SkipDismissedRunsSse2(std::string_view text, std::size_t from) {
  const auto digit = [&](std::size_t at) {
    return IsAsciiDigit(static_cast<unsigned char>(text[at]));
  };
  // No run that the rules keep starts in [from, at).
  std::size_t at = from;
  while (at + 64 <= text.size()) {
    std::uint64_t mask = DigitMask(text.data() + at);
    // A run that began before the block is not a start.
    if (at > 0 && digit(at - 1)) mask &= mask + 1;  // clears the ones at the bottom
    std::size_t next = at + 64;
    while (mask != 0) {
      const std::size_t start = at + static_cast<std::size_t>(__builtin_ctzll(mask));
      const std::uint64_t rest = ~(mask >> (start - at));
      std::size_t end = start + (rest == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(rest)));
      if (end >= at + 64) {
        // The run goes on past the block: measured on byte by byte.
        end = at + 64;
        while (end < text.size() && digit(end)) ++end;
      }
      if (end == text.size() || !Dismissed(text, start, end - start)) return start;
      if (end >= at + 64) {
        next = end;
        break;
      }
      mask &= ~(((std::uint64_t{1} << (end - start)) - 1) << (start - at));
    }
    at = next;
  }
  return SkipDismissedRunsPortable(text, at);
}

std::size_t NextKeywordStartSse2(std::string_view text, std::size_t from, std::size_t to) {
  std::size_t at = from;
  // The 65th byte is read too, so a block must end before the text does.
  for (; at + 65 <= to && at + 65 <= text.size(); at += 64) {
    const std::uint64_t mask = KeywordMask(text.data() + at);
    if (mask != 0) return at + static_cast<std::size_t>(__builtin_ctzll(mask));
  }
  return NextKeywordStartPortable(text, at, to);
}

}  // namespace mivaro::detail
#endif

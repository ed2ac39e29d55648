// SPDX-License-Identifier: Apache-2.0
// The accelerated routes of byte_search.h: a mask of 64 bytes at a time
// with SSE2, then the runs or letters it marks read one by one with the
// portable rules. What the blocks leave at the end goes the portable way.
#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "byte_search.h"
#include "places.h"

namespace mivaro::detail {
namespace {

__m128i Load(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

std::uint64_t Mask16(__m128i bits, int shift) {
  return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(bits))} << shift;
}

// Applies a test to each 16 bytes of 64 and gathers one bit per byte.
template <typename Test>
std::uint64_t Mask64(const char* bytes, const Test& test) {
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) mask |= Mask16(test(Load(bytes + 16 * i)), 16 * i);
  return mask;
}

// Whether each byte is at most limit above low, as unsigned bytes.
__m128i InRange(__m128i v, char low, char limit) {
  const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(limit)), shifted);
}

__m128i Is(__m128i v, char c) {
  return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
}

// The digits of 64 bytes, and those of them beyond ASCII: what every window
// is first read for.
struct Bytes64 {
  std::uint64_t digits = 0;
  std::uint64_t beyond = 0;

  static Bytes64 Of(const char* bytes) {
    Bytes64 of;
    for (int i = 0; i < 4; ++i) {
      const __m128i v = Load(bytes + 16 * i);
      of.digits |= Mask16(InRange(v, '0', 9), 16 * i);
      of.beyond |= Mask16(v, 16 * i);  // the top bit
    }
    return of;
  }
};

// One bit per byte of 64 where MayStartKeyword holds of it and the byte
// after it; the 65th byte must be readable.
std::uint64_t KeywordMask(const char* bytes) {
  const __m128i lower = _mm_set1_epi8(0x20);
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i first = _mm_or_si128(Load(bytes + 16 * i), lower);
    const __m128i raw = Load(bytes + 16 * i + 1);
    // The second byte folded: ASCII capitals to small letters only.
    const __m128i capital = InRange(raw, 'A', 25);
    const __m128i second = _mm_or_si128(raw, _mm_and_si128(capital, lower));
    const __m128i beyond = _mm_cmplt_epi8(raw, _mm_setzero_si128());  // a byte of 0x80 or more
    const __m128i dot = Is(raw, '.');
    const __m128i s = _mm_and_si128(
        Is(first, 's'),
        _mm_or_si128(_mm_or_si128(Is(second, 'o'), Is(second, 'i')), _mm_or_si128(dot, beyond)));
    const __m128i n =
        _mm_and_si128(Is(first, 'n'), _mm_or_si128(_mm_or_si128(dot, Is(second, 'a')), beyond));
    const __m128i a = _mm_and_si128(Is(first, 'a'), _mm_or_si128(Is(second, 's'), beyond));
    mask |= Mask16(_mm_or_si128(_mm_or_si128(s, n), a), 16 * i);
  }
  return mask;
}

// The kept runs of a window of ASCII whose runs all end within the window
// after it: the rules of Dismissed, on whole masks. The digits alone rule
// out most windows; the rest of the bytes are read only for the others.
std::uint64_t KeptIn(const char* window, const Bytes64& here, const Bytes64& next, bool digitBefore,
                     bool textStart) {
  // Whether each byte of the window, and each k bytes on, is a digit.
  std::array<std::uint64_t, 11> digits{here.digits};
  for (int k = 1; k < 11; ++k) digits[k] = (here.digits >> k) | (next.digits << (64 - k));
  const std::uint64_t starts = here.digits & ~((here.digits << 1) | (digitBefore ? 1U : 0U));
  // Runs of exactly nine; and of exactly three, a byte, exactly three more,
  // a byte and three digits more.
  std::uint64_t nine = starts & ~digits[9];
  for (int k = 1; k < 9; ++k) nine &= digits[k];
  const std::uint64_t grouped = starts & digits[1] & digits[2] & ~digits[3] & digits[4] &
                                digits[5] & digits[6] & ~digits[7] & digits[8] & digits[9] &
                                digits[10];
  // The few runs the digits leave are read from the bytes around them, as
  // Dismissed reads them: not joined to a letter or underscore before; nine
  // that pass the check, not joined to one after; three followed by a
  // separator and the same separator four bytes on, passing the check and
  // not joined to what follows the group.
  std::uint64_t kept = 0;
  for (std::uint64_t left = nine | grouped; left != 0; left &= left - 1) {
    const int at = __builtin_ctzll(left);
    const auto byte = [&](int k) { return static_cast<unsigned char>(window[at + k]); };
    if ((at > 0 || !textStart) && IsWordCharacter(byte(-1))) continue;
    bool keep = false;
    if (((nine >> at) & 1U) != 0) {
      keep = !IsWordCharacter(byte(9)) && PassesAt(window + at, false);
    } else {
      keep = (byte(3) == ' ' || byte(3) == '-' || byte(3) == '.') && byte(7) == byte(3) &&
             !IsWordCharacter(byte(11)) && PassesAt(window + at, true);
    }
    kept |= keep ? std::uint64_t{1} << at : 0;
  }
  return kept;
}

}  // namespace

KeptRuns NextKeptRunsSse2(std::string_view text, std::size_t from, const KeptRuns& last) {
  const auto byte = [&](std::size_t at) {
    return at < text.size() ? static_cast<unsigned char>(text[at]) : ' ';
  };
  std::size_t window = from - from % 64;
  // A window read from masks needs the one after it, and the few bytes past
  // that its last numbers may take.
  constexpr std::size_t kReach = 128 + 16;
  if (window + kReach <= text.size()) {
    Bytes64 here = last.nextRead && last.at + 64 == window
                       ? Bytes64{last.nextDigits, last.nextBeyond}
                       : Bytes64::Of(text.data() + window);
    for (; window + kReach <= text.size(); window += 64) {
      const Bytes64 next = Bytes64::Of(text.data() + window + 64);
      const unsigned char before = window > 0 ? byte(window - 1) : ' ';
      const unsigned char twoBefore = window > 1 ? byte(window - 2) : ' ';
      // Where every byte is ASCII and every run ends before the window after
      // next, the masks tell all; elsewhere the window is read run by run.
      const bool ascii = (here.beyond | next.beyond) == 0 && (before | twoBefore) < 0x80;
      // Most windows start no run at all (or none of their own): inside a
      // long run of digits, that is every window.
      const std::uint64_t runStarts =
          here.digits & ~((here.digits << 1) | (IsAsciiDigit(before) ? 1U : 0U));
      std::uint64_t starts = 0;
      if (runStarts != 0) {
        starts = StartsFrom(ascii && ~next.digits != 0 ? KeptIn(text.data() + window, here, next,
                                                                IsAsciiDigit(before), window == 0)
                                                       : KeptRunsIn(text, window),
                            window, from);
      }
      if (starts != 0) return {window, starts, ascii, true, next.digits, next.beyond};
      here = next;
    }
  }
  return NextKeptRunsPortable(text, std::max(window, from));
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

Counted CountSse2(std::string_view bytes) {
  if (bytes.size() < 64) return CountPortable(bytes);
  const char* data = bytes.data();
  std::size_t at = 0;
  std::uint64_t continuations = 0;
  std::uint64_t fours = 0;
  while (at + 16 <= bytes.size()) {
    // Counts gathered a byte per lane, at most 255 times, then summed.
    __m128i continuing = _mm_setzero_si128();
    __m128i leading = _mm_setzero_si128();
    for (int round = 0; round < 255 && at + 16 <= bytes.size(); ++round, at += 16) {
      const __m128i v = Load(data + at);
      const __m128i top = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xC0)));
      continuing =
          _mm_sub_epi8(continuing, _mm_cmpeq_epi8(top, _mm_set1_epi8(static_cast<char>(0x80))));
      leading = _mm_sub_epi8(leading, InRange(v, static_cast<char>(0xF0), 4));
    }
    const auto sum = [](__m128i counts) {
      const __m128i halves = _mm_sad_epu8(counts, _mm_setzero_si128());
      return static_cast<std::uint64_t>(_mm_cvtsi128_si32(halves)) +
             static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
    };
    continuations += sum(continuing);
    fours += sum(leading);
  }
  Counted counted = CountPortable(bytes.substr(at));
  counted.codePoints += at - continuations;
  counted.utf16 += at - continuations + fours;
  return counted;
}

}  // namespace mivaro::detail
#endif

// SPDX-License-Identifier: Apache-2.0
/**
 * @file sin.h
 * @brief Mivaro's C++ API for checking, formatting and masking SINs.
 *
 * The same rules as the C API in mivaro.h, as value types and free functions
 * in namespace mivaro. Checking allocates nothing and never throws.
 */
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "mivaro/mivaro.h"
#include "mivaro/regions.h"

namespace mivaro {

/// A SIN has nine digits; positions are counted from 1 at the left.
inline constexpr std::size_t kNumberLength = 9;

/// Nine ASCII digits.
using Number = std::array<char, kNumberLength>;

/// The weights of positions 1 to 9: odd positions weigh 1, even positions 2.
inline constexpr std::array<int, kNumberLength> kWeights{1, 2, 1, 2, 1, 2, 1, 2, 1};

/// Returns a digit's check value at a position of a weight: the product, or
/// for a two-digit product (10 to 18) the sum of its two digits.
constexpr int CheckValue(int weight, int digit) {
  const int product = weight * digit;
  return product > 9 ? product - 9 : product;
}

/// Returns whether a sum of check values passes: a multiple of ten other
/// than zero (nine zeros sum to 0 and must not pass).
constexpr bool SumPasses(int sum) {
  return sum != 0 && sum % 10 == 0;
}

/// Why an entry is not a number that can be checked; values as in mivaro.h.
enum class Error : int {
  Ok = MIVARO_OK,
  TooLong = MIVARO_ERROR_TOO_LONG,
  NotNineDigits = MIVARO_ERROR_NOT_NINE_DIGITS,
  NotDigitsOnly = MIVARO_ERROR_NOT_DIGITS_ONLY,
  BadGrouping = MIVARO_ERROR_BAD_GROUPING,
  Empty = MIVARO_ERROR_EMPTY,
  Reformatted = MIVARO_ERROR_REFORMATTED,
  LeadingZeroLost = MIVARO_ERROR_LEADING_ZERO_LOST,
  Placeholder = MIVARO_ERROR_PLACEHOLDER,
  NotUtf8 = MIVARO_ERROR_NOT_UTF8,
};

/// The last reason this release knows, for going through them all.
inline constexpr Error kLastError = Error::NotUtf8;

/// How a nine-digit number is written; values as in mivaro.h.
enum class Style : int {
  Bare = MIVARO_STYLE_BARE,      ///< 123456782
  Spaced = MIVARO_STYLE_SPACED,  ///< 123 456 782
  Dashed = MIVARO_STYLE_DASHED,  ///< 123-456-782
};

/// The styles by name, in the order of their values.
inline constexpr std::array<std::string_view, 3> kStyleNames{"bare", "spaced", "dashed"};

/// Returns a style's name ("bare", "spaced", "dashed").
constexpr std::string_view StyleName(Style style) {
  return kStyleNames[static_cast<std::size_t>(style)];
}

/// Returns the style of a name, or nothing for another word and says why in
/// error.
MIVARO_EXPORT std::optional<Style> ParseStyle(std::string_view name, std::string& error);

/// Everything a check finds out about one entry.
struct Result {
  bool valid = false;                ///< the entry is a valid SIN
  Error error = Error::Ok;           ///< Ok for a well-formed number, else why not
  Number number{};                   ///< the nine digits, when well formed
  Number check{};                    ///< their nine check values, when well formed
  int sum = -1;                      ///< the check values' sum, 0 to 81; -1 when malformed
  std::optional<RegionGroup> group;  ///< what the first digit stands for, when well formed
  unsigned regions = 0;              ///< the group's MIVARO_REGION_* bits

  /// Returns whether the entry is a number that can be checked.
  bool WellFormed() const { return error == Error::Ok; }
  /// Returns the nine digits as text, or "" when malformed.
  std::string_view NumberText() const {
    return WellFormed() ? std::string_view(number.data(), number.size()) : std::string_view();
  }
  /// Returns the nine check values as text, or "" when malformed.
  std::string_view CheckText() const {
    return WellFormed() ? std::string_view(check.data(), check.size()) : std::string_view();
  }
};

/// Checks an entry: nine digits, bare or grouped 3-3-3 by spaces, hyphens,
/// commas or no-break spaces, blanks around ignored.
MIVARO_EXPORT Result Check(std::string_view entry) noexcept;

/// Returns whether an entry is a valid SIN, as Check says.
MIVARO_EXPORT bool IsValid(std::string_view entry) noexcept;

/// Returns an entry without its blanks and its group separators (spaces,
/// hyphens, commas, no-break spaces), judging nothing: "046-454-286" gives
/// "046454286", "12 a" gives "12a".
MIVARO_EXPORT std::string Compact(std::string_view entry);

/// Returns the words for a reason ("too long", ...); "" for Ok.
MIVARO_EXPORT std::string_view ErrorText(Error error) noexcept;

/// Returns why a result is not a valid SIN: its reason's words, or "check sum
/// 47 is not a multiple of 10"; "" for a valid one.
MIVARO_EXPORT std::string Reason(const Result& result);

/// Returns nine digits written in a style.
MIVARO_EXPORT std::string Format(const Number& number, Style style);

/// How many of a SIN's digits a mask leaves to be seen: the last three.
inline constexpr std::size_t kShownDigits = 3;

/// Returns how many of so many digits a mask hides: all but the last three.
constexpr std::size_t HiddenDigits(std::size_t digits) {
  return digits > kShownDigits ? digits - kShownDigits : 0;
}

/// Returns text with its first hidden ASCII digits written as '*' and
/// everything else as it is: with HiddenDigits of the digits in a whole
/// entry, it masks the entry or any of its beginnings.
MIVARO_EXPORT std::string MaskDigits(std::string_view text, std::size_t hidden);

/// Returns nine digits written in a style with all but the last three masked
/// ("*** *** 782").
MIVARO_EXPORT std::string Mask(const Number& number, Style style);

/// Returns the library's version ("1.1").
MIVARO_EXPORT std::string_view Version() noexcept;

/// Checks one entry that arrives in pieces, such as a line read a block at a
/// time, in fixed memory however long it is: Finish gives what Check gives on
/// the pieces joined.
class EntryReader {
 public:
  /// Takes the next piece of the entry; a character may be cut between pieces.
  MIVARO_EXPORT void Feed(std::string_view piece) noexcept;
  /// Returns the verdict on everything fed, and starts afresh.
  MIVARO_EXPORT Result Finish() noexcept;

  /// No well-formed entry has more characters than "123 456 782" between its
  /// blanks; past this many only the fact that there were more is kept.
  static constexpr std::size_t kContentCharacters = 32;

 private:
  void Scan(std::string_view text) noexcept;

  std::array<char, kContentCharacters * 4> content_{};
  std::array<char, 4> carry_{};  // the start of a character cut off at a piece's end
  std::size_t carried_ = 0;
  std::size_t contentBytes_ = 0;   // up to the last character that is not blank
  std::size_t bufferedBytes_ = 0;  // with the blanks after it
  std::size_t contentCharacters_ = 0;
  std::size_t pendingBlanks_ = 0;  // blanks since the last character that is not blank
  bool started_ = false;
  bool overflowed_ = false;
  bool invalid_ = false;  // a byte of ill-formed UTF-8 anywhere in the entry
};

}  // namespace mivaro

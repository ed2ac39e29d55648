// SPDX-License-Identifier: Apache-2.0
// The grammar of an entry: its written forms, the reasons it is refused, and
// their words. The definition the faster routes are held to.
#include "entry_grammar.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "first_digits.h"
#include "nine_digits.h"
#include "separators.h"
#include "text/utf8.h"

namespace mivaro {
namespace detail {
namespace {

bool IsDigitCode(char32_t c) {
  return c >= U'0' && c <= U'9';
}

// The content between the blanks, decoded: at most kContentCharacters.
using CodePoints = std::span<const char32_t>;

// "123 456 782": three groups of three digits, one kind of separator used
// twice. Writes the nine digits.
bool ReadGrouped(CodePoints text, Number& digits) {
  if (text.size() != 11 || !JoinsGroupsInEntry(text[3]) || text[7] != text[3]) return false;
  constexpr std::array<std::size_t, kNumberLength> kPlaces{0, 1, 2, 4, 5, 6, 8, 9, 10};
  for (std::size_t i = 0; i < kNumberLength; ++i) {
    if (!IsDigitCode(text[kPlaces[i]])) return false;
    digits[i] = static_cast<char>(text[kPlaces[i]]);
  }
  return true;
}

bool ReadBare(CodePoints text, Number& digits) {
  if (text.size() != kNumberLength) return false;
  for (std::size_t i = 0; i < kNumberLength; ++i) {
    if (!IsDigitCode(text[i])) return false;
    digits[i] = static_cast<char>(text[i]);
  }
  return true;
}

// Skips a run of digits from at; returns how many there were.
std::size_t SkipDigits(CodePoints text, std::size_t& at) {
  const std::size_t from = at;
  while (at < text.size() && IsDigitCode(text[at])) ++at;
  return at - from;
}

// A number as a spreadsheet writes it when it takes a SIN for a quantity:
// in scientific notation, one digit before the decimal point and a signed
// exponent ("4.6454286E+7", "1,23457E+08"), or with a decimal part
// ("123456782.0", "123 456 782,00").
bool IsReformatted(CodePoints text) {
  std::size_t at = 0;
  const std::size_t whole = SkipDigits(text, at);
  if (whole == 0) return false;
  // Thousands groups before a decimal part, all with one separator, which
  // the decimal point is not.
  char32_t separator = 0;
  while (at + 4 <= text.size() && JoinsGroupsInEntry(text[at]) && IsDigitCode(text[at + 1]) &&
         (separator == 0 || text[at] == separator)) {
    std::size_t group = at + 1;
    if (SkipDigits(text, group) != 3) break;
    separator = text[at];
    at = group;
  }
  bool decimals = false;
  if (at + 1 < text.size() && (text[at] == U'.' || text[at] == U',') && text[at] != separator &&
      IsDigitCode(text[at + 1])) {
    ++at;
    SkipDigits(text, at);
    decimals = true;
  }
  if (at < text.size() && (text[at] == U'E' || text[at] == U'e')) {
    if (whole != 1 || separator != 0 || at + 2 >= text.size()) return false;
    if (text[at + 1] != U'+' && text[at + 1] != U'-') return false;
    at += 2;
    return SkipDigits(text, at) > 0 && at == text.size();
  }
  return decimals && at == text.size();
}

// Eight digits that a spreadsheet took for a number and dropped the leading
// zero of: 046454286 shown as 46454286.
bool LostALeadingZero(const std::array<char, kNumberLength - 1>& eightDigits) {
  Number digits{};
  digits[0] = '0';
  std::copy(eightDigits.begin(), eightDigits.end(), digits.begin() + 1);
  int sum = 0;
  return SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum) && SumPasses(sum);
}

// Sorts content that is not a SIN in one of its written forms. A number as a
// spreadsheet reformats it is named so; entries made only of digits,
// separators and blanks get the reason their digit count gives; all others
// are too long past nine characters, or not digits only.
Error Refine(CodePoints text) {
  if (IsReformatted(text)) return Error::Reformatted;
  std::array<char, kNumberLength - 1> eight{};
  std::size_t digits = 0;
  bool onlyDigitsAndSeparators = true;
  for (const char32_t c : text) {
    if (IsDigitCode(c)) {
      if (digits < eight.size()) eight[digits] = static_cast<char>(c);
      ++digits;
    } else if (!JoinsGroupsInEntry(c) && !text::IsBlank(c)) {
      onlyDigitsAndSeparators = false;
    }
  }
  if (onlyDigitsAndSeparators) {
    if (digits > kNumberLength) return Error::TooLong;
    if (digits == kNumberLength) return Error::BadGrouping;
    if (digits == eight.size() && LostALeadingZero(eight)) return Error::LeadingZeroLost;
    return Error::NotNineDigits;
  }
  return text.size() > kNumberLength ? Error::TooLong : Error::NotDigitsOnly;
}

// The verdict on the content between the blanks, decoded.
Result Judge(CodePoints text) {
  // A leading apostrophe is a spreadsheet's mark for text, and the one
  // mivaro-cli's formula guard writes.
  if (!text.empty() && text.front() == kTextMark) text = text.subspan(1);
  if (text.empty()) return Malformed(Error::Empty);
  if (Number digits{}; ReadBare(text, digits) || ReadGrouped(text, digits)) {
    Result result;
    Evaluate(digits.data(), result);
    return result;
  }
  return Malformed(Refine(text));
}

}  // namespace

Result JudgeContent(std::string_view content) {
  std::array<char32_t, EntryReader::kContentCharacters> decoded{};
  std::size_t count = 0;
  for (std::size_t at = 0; at < content.size() && count < decoded.size(); ++count) {
    const text::Utf8Step step = text::DecodeUtf8(content, at);
    decoded[count] = step.codePoint;
    at += step.length;
  }
  return Judge(CodePoints(decoded.data(), count));
}

Result CheckByGrammar(std::string_view entry) noexcept {
  // One pass: the content runs from the first character that is not blank
  // to the last; its characters are kept as they come, up to one more than
  // any written form of nine digits has. A byte that is not UTF-8, wherever
  // it is, is the first thing to fix.
  std::array<char32_t, EntryReader::kContentCharacters + 1> content{};
  std::size_t kept = 0;    // characters kept since the content began
  std::size_t length = 0;  // of them, up to the last that is not blank
  bool begun = false;
  bool overflowed = false;
  for (std::size_t at = 0; at < entry.size();) {
    const auto byte = static_cast<unsigned char>(entry[at]);
    const text::Utf8Step step =
        byte < 0x80 ? text::Utf8Step{byte, 1, true} : text::DecodeUtf8(entry, at);
    if (!step.valid) return Malformed(Error::NotUtf8);
    at += step.length;
    const bool blank = text::IsBlank(step.codePoint);
    if (!begun && blank) continue;
    begun = true;
    if (kept < content.size()) content[kept] = step.codePoint;
    ++kept;
    if (!blank) {
      length = kept;
      overflowed = overflowed || length > EntryReader::kContentCharacters;
    }
  }
  if (length == 0) return Malformed(Error::Empty);
  if (overflowed) return Malformed(Error::TooLong);
  return Judge(CodePoints(content.data(), length));
}

}  // namespace detail

std::string_view ErrorText(Error error) noexcept {
  switch (error) {
    case Error::TooLong:
      return "too long";
    case Error::NotNineDigits:
      return "not nine digits";
    case Error::NotDigitsOnly:
      return "not digits only";
    case Error::BadGrouping:
      return "bad grouping";
    case Error::Empty:
      return "empty";
    case Error::Reformatted:
      return "reformatted by a spreadsheet";
    case Error::LeadingZeroLost:
      return "not nine digits (leading zero lost?)";
    case Error::Placeholder:
      return "placeholder for a missing SIN";
    case Error::NotUtf8:
      return "not UTF-8";
    case Error::Ok:
      break;
  }
  return "";
}

std::string Reason(const Result& result) {
  if (!result.WellFormed()) return std::string(ErrorText(result.error));
  if (result.valid) return "";
  return "check sum " + std::to_string(result.sum) + " is not a multiple of 10";
}

}  // namespace mivaro

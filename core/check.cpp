// SPDX-License-Identifier: Apache-2.0
// The grammar of an entry and the check of a number: what Check, IsValid and
// EntryReader decide, and the words for why.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <span>

#include "first_digits.h"
#include "mivaro/sin.h"
#include "nine_digits.h"
#include "text/utf8.h"

namespace mivaro {
namespace {

bool IsDigitCode(char32_t c) {
  return c >= U'0' && c <= U'9';
}

Result Malformed(Error error) {
  Result result;
  result.error = error;
  return result;
}

// Writes the result for nine characters, or returns false when they are not
// nine ASCII digits. One pass, with no branch per character.
bool Evaluate(const char* digits, Result& result) {
  unsigned seen = 0;
  unsigned sum = 0;
  std::array<std::uint8_t, kNumberLength> values{};
  for (std::size_t at = 0; at < kNumberLength; ++at) {
    values[at] = detail::kByteValue[static_cast<std::size_t>(kWeights[at] - 1)]
                                   [static_cast<unsigned char>(digits[at])];
    seen |= values[at];
    sum += values[at];
  }
  if ((seen & detail::kNotDigit) != 0) return false;
  // Only nine zeros sum to 0: every other digit has a check value above 0.
  if (sum == 0) {
    result = Malformed(Error::Placeholder);
    return true;
  }
  std::memcpy(result.number.data(), digits, kNumberLength);
  for (std::size_t at = 0; at < kNumberLength; ++at) {
    result.check[at] = static_cast<char>('0' + values[at]);
  }
  result.sum = static_cast<int>(sum);
  result.valid = SumPasses(result.sum);
  const auto first = static_cast<std::size_t>(digits[0] - '0');
  result.group = detail::kGroupOfDigit[first];
  result.regions = detail::kBitsOfDigit[first];
  return true;
}

// What may stand between the three groups of a SIN: a space or hyphen as
// people type them, and the thousands separators of Canadian number formats
// (a comma, and in French a no-break or narrow no-break space).
constexpr bool IsGroupSeparator(char32_t c) {
  return c == U' ' || c == U'-' || c == U',' || c == 0x00A0 || c == 0x202F;
}

// A spreadsheet's mark for text, which may lead an entry's content.
constexpr char32_t kTextMark = U'\'';

// Whether an entry's bytes leave it any chance of being valid: exactly nine
// ASCII digits, and no other ASCII byte but blanks, group separators and the
// text mark. Most malformed entries are refused so, before any decoding.
bool MayBeValid(std::string_view entry) {
  static constexpr std::array<bool, 0x80> kAllowed = [] {
    std::array<bool, 0x80> allowed{};
    for (char32_t c = 0; c < 0x80; ++c) {
      allowed[c] = text::IsBlank(c) || IsGroupSeparator(c) || c == kTextMark;
    }
    return allowed;
  }();
  std::size_t digits = 0;
  for (const char c : entry) {
    const auto byte = static_cast<unsigned char>(c);
    if (static_cast<unsigned>(byte - '0') <= 9U) {
      ++digits;
    } else if (byte < 0x80 && !kAllowed[byte]) {
      return false;
    }
  }
  return digits == kNumberLength;
}

// The content between the blanks, decoded: at most kContentCharacters.
using CodePoints = std::span<const char32_t>;

// "123 456 782": three groups of three digits, one kind of separator used
// twice. Writes the nine digits.
bool ReadGrouped(CodePoints text, Number& digits) {
  if (text.size() != 11 || !IsGroupSeparator(text[3]) || text[7] != text[3]) return false;
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
  while (at + 4 <= text.size() && IsGroupSeparator(text[at]) && IsDigitCode(text[at + 1]) &&
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
  return detail::SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum) &&
         SumPasses(sum);
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
    } else if (!IsGroupSeparator(c) && !text::IsBlank(c)) {
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

// The verdict on well-formed UTF-8 content of at most kContentCharacters.
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

// Entries this short are judged from one decoding pass, the way spreadsheet
// cells with no-break spaces usually come.
constexpr std::size_t kShortEntryBytes = 64;

// The verdict on an entry of at most kShortEntryBytes, as EntryReader gives
// it: decode, trim the blanks, judge what is between them.
Result CheckShort(std::string_view entry) {
  std::array<char32_t, kShortEntryBytes> decoded;  // only the first count are read
  std::size_t count = 0;
  std::size_t first = kShortEntryBytes;  // the first and one past the last character
  std::size_t end = 0;                   // that is not blank
  for (std::size_t at = 0; at < entry.size(); ++count) {
    const auto byte = static_cast<unsigned char>(entry[at]);
    char32_t c = byte;
    bool blank = false;
    if (byte < 0x80) {
      blank = text::IsAsciiBlank(byte);
      ++at;
    } else {
      const text::Utf8Step step = text::DecodeUtf8(entry, at);
      // Bytes in another encoding are the first thing to fix, wherever they are.
      if (!step.valid) return Malformed(Error::NotUtf8);
      blank = text::IsBlank(step.codePoint);
      c = step.codePoint;
      at += step.length;
    }
    decoded[count] = c;
    if (!blank) {
      first = std::min(first, count);
      end = count + 1;
    }
  }
  if (first >= end) return Malformed(Error::Empty);
  if (end - first > EntryReader::kContentCharacters) return Malformed(Error::TooLong);
  return Judge(CodePoints(decoded.data() + first, end - first));
}

// The blank that ends text, as its length in bytes; 0 when text does not end
// in one. Steps back over continuation bytes to the last character's start.
std::size_t TrailingBlank(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0U) != 0x80U) break;
  }
  if (start == text.size()) return 0;
  const text::Utf8Step step = text::DecodeUtf8(text, start);
  return step.valid && start + step.length == text.size() && text::IsBlank(step.codePoint)
             ? step.length
             : 0;
}

// The nine digits of content that is a number as people and spreadsheets
// write it, decoding only the separators: nine bare digits, or three groups
// of three joined twice by one separator character.
bool ReadContentBytes(std::string_view content, Number& digits) {
  if (content.size() == kNumberLength) {
    std::memcpy(digits.data(), content.data(), kNumberLength);
    return true;  // Evaluate finds out whether they are digits
  }
  if (content.size() < 11 || content.size() % 2 == 0) return false;
  const std::size_t separatorBytes = (content.size() - kNumberLength) / 2;
  const std::string_view separator = content.substr(3, separatorBytes);
  for (std::size_t i = 0; i < separatorBytes; ++i) {
    if (content[6 + separatorBytes + i] != separator[i]) return false;
  }
  const text::Utf8Step step = text::DecodeUtf8(separator, 0);
  if (!step.valid || step.length != separatorBytes || !IsGroupSeparator(step.codePoint)) {
    return false;
  }
  std::memcpy(digits.data(), content.data(), 3);
  std::memcpy(digits.data() + 3, content.data() + 3 + separatorBytes, 3);
  std::memcpy(digits.data() + 6, content.data() + 6 + 2 * separatorBytes, 3);
  return true;
}

// Reads the nine digits of an entry in a common form (bare or grouped 3-3-3,
// blanks around) from its bytes, without decoding it whole.
bool ReadCommonForm(std::string_view entry, Number& digits) {
  std::string_view content = entry;
  while (!content.empty()) {
    const auto lead = static_cast<unsigned char>(content.front());
    const text::Utf8Step step =
        lead < 0x80 ? text::Utf8Step{lead, 1, true} : text::DecodeUtf8(content, 0);
    if (!step.valid || !text::IsBlank(step.codePoint)) break;
    content.remove_prefix(step.length);
  }
  while (const std::size_t blank = TrailingBlank(content)) content.remove_suffix(blank);
  return ReadContentBytes(content, digits);
}

// The verdict on a short entry whose content between its blanks is nine
// digits, bare or grouped, found without decoding the whole entry: the way
// spreadsheet cells usually come, no-break spaces and byte-order marks
// around. Returns false, result untouched, for every other entry; CheckShort
// then gives the same verdict the long way.
bool CheckCommonForm(std::string_view entry, Result& result) {
  Number digits{};
  return ReadCommonForm(entry, digits) && Evaluate(digits.data(), result);
}

}  // namespace

Result Check(std::string_view entry) noexcept {
  // One result, returned from every path, so that it is built in place.
  Result result;
  // Most entries are nine bare digits.
  if (entry.size() == kNumberLength && Evaluate(entry.data(), result)) return result;
  if (entry.size() <= kShortEntryBytes) {
    if (CheckCommonForm(entry, result)) return result;
    result = CheckShort(entry);
  } else {
    EntryReader reader;
    reader.Feed(entry);
    result = reader.Finish();
  }
  return result;
}

bool IsValid(std::string_view entry) noexcept {
  // Nine zeros sum to 0, which does not pass, so the placeholder needs no test.
  if (int sum = 0; detail::SumOfNineDigits(entry, sum)) return SumPasses(sum);
  if (!MayBeValid(entry)) return false;
  // The other common forms are summed straight from their bytes too, with no
  // result to fill.
  if (Number digits{}; entry.size() > kNumberLength && entry.size() <= kShortEntryBytes &&
                       ReadCommonForm(entry, digits)) {
    if (int sum = 0; detail::SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum)) {
      return SumPasses(sum);
    }
  }
  return Check(entry).valid;
}

std::string Compact(std::string_view entry) {
  std::string compact;
  compact.reserve(entry.size());
  for (std::size_t at = 0; at < entry.size();) {
    const text::Utf8Step step = text::DecodeUtf8(entry, at);
    if (!step.valid || (!text::IsBlank(step.codePoint) && !IsGroupSeparator(step.codePoint))) {
      compact.append(entry.substr(at, step.length));
    }
    at += step.length;
  }
  return compact;
}

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

void EntryReader::Feed(std::string_view piece) noexcept {
  if (carried_ != 0) {
    // A character was cut at the end of the previous piece: complete it with
    // the bytes it still needs, as far as this piece has them.
    const std::size_t needed = text::SequenceLength(static_cast<unsigned char>(carry_[0]));
    const std::size_t taken = std::min(needed - carried_, piece.size());
    std::memcpy(carry_.data() + carried_, piece.data(), taken);
    carried_ += taken;
    piece.remove_prefix(taken);
    if (carried_ < needed) return;
    carried_ = 0;
    Scan(std::string_view(carry_.data(), needed));
  }
  const std::size_t tail = text::IncompleteUtf8Tail(piece);
  Scan(piece.substr(0, piece.size() - tail));
  std::memcpy(carry_.data(), piece.data() + piece.size() - tail, tail);
  carried_ = tail;
}

void EntryReader::Scan(std::string_view text) noexcept {
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    bool blank = false;
    if (byte < 0x80) {
      blank = text::IsAsciiBlank(byte);
    } else {
      const text::Utf8Step step = text::DecodeUtf8(text, at);
      length = step.length;
      blank = step.valid && text::IsBlank(step.codePoint);
      invalid_ = invalid_ || !step.valid;
    }
    const std::string_view bytes = text.substr(at, length);
    at += length;
    if (blank) {
      if (!started_) continue;
      // Held back until more content follows, so trailing blanks never count.
      ++pendingBlanks_;
      if (bufferedBytes_ + bytes.size() <= content_.size()) {
        std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
        bufferedBytes_ += bytes.size();
      }
      continue;
    }
    started_ = true;
    if (overflowed_) continue;
    // Each character takes at most four bytes, so within the character bound
    // the buffer always has room.
    if (contentCharacters_ + pendingBlanks_ + 1 > kContentCharacters ||
        bufferedBytes_ + bytes.size() > content_.size()) {
      overflowed_ = true;
      continue;
    }
    std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
    bufferedBytes_ += bytes.size();
    contentBytes_ = bufferedBytes_;
    contentCharacters_ += pendingBlanks_ + 1;
    pendingBlanks_ = 0;
  }
}

Result EntryReader::Finish() noexcept {
  // What is left of a cut character will never be completed: its bytes are
  // ill-formed, one character each.
  if (carried_ != 0) {
    const std::array<char, 4> rest = carry_;
    const std::size_t count = carried_;
    carried_ = 0;
    Scan(std::string_view(rest.data(), count));
  }
  Result result;
  if (invalid_) {
    result = Malformed(Error::NotUtf8);
  } else if (overflowed_) {
    result = Malformed(Error::TooLong);
  } else {
    result = JudgeContent(std::string_view(content_.data(), contentBytes_));
  }
  *this = EntryReader();
  return result;
}

}  // namespace mivaro

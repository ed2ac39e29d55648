// SPDX-License-Identifier: Apache-2.0
#include "cli/entry_parser.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "core/evaluation.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

// Blanks among the ASCII characters: tab, line feed, vertical tab, form feed,
// carriage return and space.
constexpr std::array<bool, 128> kAsciiBlank = [] {
  std::array<bool, 128> table{};
  for (const char c : {'\t', '\n', '\v', '\f', '\r', ' '})
    table[static_cast<std::size_t>(c)] = true;
  return table;
}();

// Nine zeros: no SIN, but what payroll files write where one is missing.
constexpr std::string_view kPlaceholder = "000000000";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsDigitCode(char32_t c) {
  return c >= U'0' && c <= U'9';
}

// What may stand between the three groups of a SIN: a space or hyphen as
// people type them, and the thousands separators of Canadian number formats
// (a comma, and in French a no-break or narrow no-break space).
bool IsGroupSeparator(char32_t c) {
  return c == U' ' || c == U'-' || c == U',' || c == 0x00A0 || c == 0x202F;
}

// The content between the blanks, decoded: at most EntryScanner's bound.
using CodePoints = std::span<const char32_t>;

// "123 456 782" in ASCII, knowing it holds nine digits in eleven
// characters: the other two are one kind of separator, at their places.
bool IsGroupedAscii(std::string_view text) {
  return IsGroupSeparator(static_cast<unsigned char>(text[3])) && text[7] == text[3];
}

// "123 456 782": three groups of three digits, one kind of separator used
// twice. Writes the nine digits.
bool ReadGrouped(CodePoints text, std::string& digits) {
  if (text.size() != 11 || !IsGroupSeparator(text[3]) || text[7] != text[3]) return false;
  constexpr std::array<std::size_t, kNumberLength> kPlaces{0, 1, 2, 4, 5, 6, 8, 9, 10};
  digits.resize(kNumberLength);
  for (std::size_t i = 0; i < kNumberLength; ++i) {
    if (!IsDigitCode(text[kPlaces[i]])) return false;
    digits[i] = static_cast<char>(text[kPlaces[i]]);
  }
  return true;
}

bool ReadBare(CodePoints text, std::string& digits) {
  if (text.size() != kNumberLength) return false;
  digits.resize(kNumberLength);
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
bool LostALeadingZero(std::string_view eightDigits) {
  std::array<char, kNumberLength> digits{};
  digits[0] = '0';
  std::copy(eightDigits.begin(), eightDigits.end(), digits.begin() + 1);
  thread_local DigitSlots digitTable = EmptyDigitSlots();
  thread_local WeightedSlots weightedTable = EmptyWeightedSlots();
  return EvaluateNumber(std::string_view(digits.data(), digits.size()), digitTable, weightedTable)
      .IsValid;
}

// Sorts content that is not a SIN in one of its written forms. A number as a
// spreadsheet reformats it is named so; entries made only of digits,
// separators and blanks get the reason their digit count gives; all others
// are too long past nine characters, or not digits only.
Malformed Refine(CodePoints text) {
  if (IsReformatted(text)) return Malformed::Reformatted;
  std::string digits;
  bool onlyDigitsAndSeparators = true;
  for (const char32_t c : text) {
    if (IsDigitCode(c)) {
      digits += static_cast<char>(c);
    } else if (!IsGroupSeparator(c) && !IsBlank(c)) {
      onlyDigitsAndSeparators = false;
    }
  }
  if (onlyDigitsAndSeparators) {
    if (digits.size() > kNumberLength) return Malformed::TooLong;
    if (digits.size() == kNumberLength) return Malformed::BadGrouping;
    if (digits.size() == kNumberLength - 1 && LostALeadingZero(digits)) {
      return Malformed::LeadingZeroLost;
    }
    return Malformed::NotNineDigits;
  }
  return text.size() > kNumberLength ? Malformed::TooLong : Malformed::NotDigitsOnly;
}

// The verdict on the content between the blanks, within the content bound,
// decoded into code points.
Malformed Judge(CodePoints text, std::string& digits) {
  // A leading apostrophe is a spreadsheet's mark for text, and the one the
  // tool's own formula guard writes.
  if (!text.empty() && text.front() == U'\'') text = text.subspan(1);
  if (text.empty()) return Malformed::Empty;
  if (ReadBare(text, digits) || ReadGrouped(text, digits)) {
    if (digits == kPlaceholder) {
      digits.clear();
      return Malformed::Placeholder;
    }
    return Malformed::None;
  }
  digits.clear();
  return Refine(text);
}

// Entries this short are echoed whole and judged from one decoding pass,
// the way spreadsheet cells with no-break spaces usually come.
constexpr std::size_t kShortEntryBytes = 64;

// Parses an entry of at most kShortEntryBytes with the scanner's result, in
// one pass: decode, then trim the blanks, then judge what is between them.
ParsedEntry ParseShortEntry(std::string_view entry) {
  std::array<char32_t, kShortEntryBytes> decoded;  // only the first count are read
  std::size_t count = 0;
  ParsedEntry parsed;
  parsed.input.assign(entry);
  bool invalid = false;
  std::size_t first = kShortEntryBytes;  // the first and one past the last character
  std::size_t end = 0;                   // that is not blank
  for (std::size_t at = 0; at < entry.size(); ++count) {
    const auto byte = static_cast<unsigned char>(entry[at]);
    char32_t c = byte;
    bool blank = false;
    if (byte < 0x80) {
      parsed.digitCount += IsDigit(static_cast<char>(byte)) ? 1 : 0;
      blank = kAsciiBlank[byte];
      ++at;
    } else {
      const Utf8Step step = DecodeUtf8(entry, at);
      invalid |= !step.valid;
      blank = step.valid && IsBlank(step.codePoint);
      c = step.codePoint;
      at += step.length;
    }
    decoded[count] = c;
    if (!blank) {
      first = std::min(first, count);
      end = count + 1;
    }
  }
  if (invalid) {
    parsed.error = Malformed::NotUtf8;
  } else if (first >= end) {
    parsed.error = Malformed::Empty;
  } else if (end - first > EntryScanner::kContentCharacters) {
    parsed.error = Malformed::TooLong;
  } else {
    parsed.error = Judge(CodePoints(decoded.data() + first, end - first), parsed.digits);
  }
  return parsed;
}

// The verdict on well-formed UTF-8 content.
Malformed VerdictOn(std::string_view content, std::string& digits) {
  std::array<char32_t, EntryScanner::kContentCharacters> decoded{};
  std::size_t count = 0;
  for (std::size_t at = 0; at < content.size() && count < decoded.size(); ++count) {
    const Utf8Step step = DecodeUtf8(content, at);
    decoded[count] = step.codePoint;
    at += step.length;
  }
  return Judge(CodePoints(decoded.data(), count), digits);
}

}  // namespace

std::string_view MalformedText(Malformed reason) {
  switch (reason) {
    case Malformed::TooLong:
      return "too long";
    case Malformed::NotNineDigits:
      return "not nine digits";
    case Malformed::NotDigitsOnly:
      return "not digits only";
    case Malformed::BadGrouping:
      return "bad grouping";
    case Malformed::Empty:
      return "empty";
    case Malformed::Reformatted:
      return "reformatted by a spreadsheet";
    case Malformed::LeadingZeroLost:
      return "not nine digits (leading zero lost?)";
    case Malformed::Placeholder:
      return "placeholder for a missing SIN";
    case Malformed::NotUtf8:
      return "not UTF-8 (try --encoding cp1252)";
    case Malformed::None:
      break;
  }
  return "";
}

std::string ReasonList() {
  std::string list;
  for (auto reason = static_cast<int>(Malformed::TooLong);
       reason <= static_cast<int>(Malformed::NotUtf8); ++reason) {
    if (!list.empty()) list += ", ";
    list += MalformedText(static_cast<Malformed>(reason));
  }
  return list;
}

bool IsBlank(char32_t codePoint) {
  if (codePoint < 0x80) return kAsciiBlank[codePoint];
  switch (codePoint) {
    case 0x0085:  // NEXT LINE
    case 0x00A0:  // NO-BREAK SPACE
    case 0x1680:  // OGHAM SPACE MARK
    case 0x2028:  // LINE SEPARATOR
    case 0x2029:  // PARAGRAPH SEPARATOR
    case 0x202F:  // NARROW NO-BREAK SPACE
    case 0x205F:  // MEDIUM MATHEMATICAL SPACE
    case 0x3000:  // IDEOGRAPHIC SPACE
    case 0x200B:  // ZERO WIDTH SPACE
    case 0xFEFF:  // ZERO WIDTH NO-BREAK SPACE, the byte-order mark
      return true;
    default:
      return codePoint >= 0x2000 && codePoint <= 0x200A;  // EN QUAD .. HAIR SPACE
  }
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid || !IsBlank(step.codePoint)) {
      begin = std::min(begin, at);
      end = at + step.length;
    }
    at += step.length;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view();
}

void EntryScanner::Scan(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    bool blank = false;
    if (byte < 0x80) {
      blank = kAsciiBlank[byte];
      digits_ += IsDigit(static_cast<char>(byte)) ? 1 : 0;
    } else {
      const Utf8Step step = DecodeUtf8(text, at);
      length = step.length;
      blank = step.valid && IsBlank(step.codePoint);
      invalid_ |= !step.valid;
    }
    if (echoCharacters_ <= kInputCharacters) {
      // One past the cut, so the echo knows it was cut.
      if (++echoCharacters_ <= kInputCharacters) echoBytes_ += length;
    }
    ScanCharacter(text.substr(at, length), blank);
    at += length;
  }
}

void EntryScanner::ScanCharacter(std::string_view bytes, bool blank) {
  if (blank) {
    if (!started_) return;
    // Held back until more content follows, so trailing blanks never count.
    ++pendingBlanks_;
    if (bufferedBytes_ + bytes.size() <= content_.size()) {
      std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
      bufferedBytes_ += bytes.size();
    }
    return;
  }
  started_ = true;
  if (overflowed_) return;
  // Each character takes at most four bytes, so within the character bound
  // the buffer always has room.
  if (contentCharacters_ + pendingBlanks_ + 1 > kContentCharacters ||
      bufferedBytes_ + bytes.size() > content_.size()) {
    overflowed_ = true;
    return;
  }
  std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
  bufferedBytes_ += bytes.size();
  contentBytes_ = bufferedBytes_;
  contentCharacters_ += pendingBlanks_ + 1;
  pendingBlanks_ = 0;
}

void EntryScanner::DropLastEchoByte() {
  --echoCharacters_;
  --echoBytes_;
}

Malformed EntryScanner::Verdict(std::string& digits) const {
  // Bytes in another encoding are the first thing to fix, wherever they are.
  if (invalid_) return Malformed::NotUtf8;
  if (overflowed_) return Malformed::TooLong;
  return VerdictOn(std::string_view(content_.data(), contentBytes_), digits);
}

void EntryAccumulator::Feed(std::string_view piece) {
  if (piece.empty()) return;
  endsInCr_ = piece.back() == '\r';
  std::string joined;
  if (!carry_.empty()) {
    // A character was cut at the end of the previous piece: rejoin it.
    joined = std::move(carry_);
    joined += piece;
    piece = joined;
  }
  const std::size_t tail = IncompleteUtf8Tail(piece);
  ScanComplete(piece.substr(0, piece.size() - tail));
  carry_.assign(piece.substr(piece.size() - tail));
}

void EntryAccumulator::ScanComplete(std::string_view text) {
  const std::size_t echoed = scanner_.EchoBytes();
  scanner_.Scan(text);
  input_.append(text.substr(0, scanner_.EchoBytes() - echoed));
}

ParsedEntry EntryAccumulator::Finish() {
  // What is left of a cut character will never be completed: its bytes are
  // ill-formed, one character each.
  const std::string rest = std::move(carry_);
  ScanComplete(rest);

  ParsedEntry entry;
  if (endsInCr_ && scanner_.EchoCharacters() <= kInputCharacters) {
    input_.pop_back();
    scanner_.DropLastEchoByte();
  }
  entry.input = std::move(input_);
  entry.error = scanner_.Verdict(entry.digits);
  entry.digitCount = scanner_.DigitCount();
  *this = EntryAccumulator();
  return entry;
}

ParsedEntry ParseEntry(std::string_view entry) {
  if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
  ParsedEntry parsed;
  // Most entries are a few ASCII characters: each byte is a character and
  // the only blanks are ASCII ones, so one pass without decoding finds the
  // content and counts its digits. The result is what the scanner gives.
  if (entry.size() == kNumberLength && std::all_of(entry.begin(), entry.end(), IsDigit) &&
      entry != kPlaceholder) {
    parsed.input.assign(entry);
    parsed.digits.assign(entry);
    parsed.digitCount = kNumberLength;
    return parsed;
  }
  if (entry.size() <= EntryScanner::kContentCharacters) {
    bool ascii = true;
    std::size_t digits = 0;
    std::size_t first = entry.size();
    std::size_t end = 0;
    for (std::size_t at = 0; at < entry.size(); ++at) {
      const auto byte = static_cast<unsigned char>(entry[at]);
      if (byte >= 0x80) {
        ascii = false;
        break;
      }
      digits += IsDigit(static_cast<char>(byte)) ? 1 : 0;
      if (!kAsciiBlank[byte]) {
        first = std::min(first, at);
        end = at + 1;
      }
    }
    if (ascii) {
      parsed.input.assign(entry);
      parsed.digitCount = digits;
      const std::string_view content =
          first < end ? entry.substr(first, end - first) : std::string_view();
      if (content.size() == kNumberLength && digits == kNumberLength && content != kPlaceholder) {
        parsed.digits.assign(content);  // nine digits and nothing else
      } else if (content.size() == 11 && digits == kNumberLength && IsGroupedAscii(content)) {
        parsed.digits.assign(content.substr(0, 3));
        parsed.digits.append(content.substr(4, 3));
        parsed.digits.append(content.substr(8, 3));
        if (parsed.digits == kPlaceholder) {
          parsed.digits.clear();
          parsed.error = Malformed::Placeholder;
        }
      } else {
        parsed.error = VerdictOn(content, parsed.digits);
      }
      return parsed;
    }
  }
  if (entry.size() <= kShortEntryBytes) return ParseShortEntry(entry);
  EntryScanner scanner;
  scanner.Scan(entry);
  parsed.input.assign(entry.substr(0, scanner.EchoBytes()));
  parsed.error = scanner.Verdict(parsed.digits);
  parsed.digitCount = scanner.DigitCount();
  return parsed;
}

}  // namespace mivaro::cli

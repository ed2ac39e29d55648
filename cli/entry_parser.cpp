// SPDX-License-Identifier: Apache-2.0
#include "cli/entry_parser.h"

#include <algorithm>
#include <cstring>

#include "core/entry.h"
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

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSeparator(char c) {
  return c == ' ' || c == '-';
}

// "123 456 782" or "123-456-782": one kind of separator, used twice.
bool IsGrouped(std::string_view text) {
  if (text.size() != 11 || !IsSeparator(text[3]) || text[7] != text[3]) return false;
  for (const std::size_t at : {0, 1, 2, 4, 5, 6, 8, 9, 10}) {
    if (!IsDigit(text[at])) return false;
  }
  return true;
}

// Sorts content that the shared entry classification does not accept as it
// stands. Entries made only of digits, separators and blanks get the more
// precise reason; all others keep the classification's verdict.
Malformed Refine(std::string_view content, EntryKind kind) {
  bool onlyDigitsAndSeparators = true;
  std::size_t digits = 0;
  for (std::size_t at = 0; at < content.size();) {
    const Utf8Step step = DecodeUtf8(content, at);
    const bool digit = step.codePoint >= '0' && step.codePoint <= '9';
    digits += digit ? 1 : 0;
    if (!digit && step.codePoint != ' ' && step.codePoint != '-' &&
        !(step.valid && IsBlank(step.codePoint))) {
      onlyDigitsAndSeparators = false;
    }
    at += step.length;
  }
  if (onlyDigitsAndSeparators) {
    if (digits > kNumberLength) return Malformed::TooLong;
    if (digits < kNumberLength) return Malformed::NotNineDigits;
    return Malformed::BadGrouping;
  }
  switch (kind) {
    case EntryKind::TooLong:
      return Malformed::TooLong;
    case EntryKind::NotDigitsOnly:
      return Malformed::NotDigitsOnly;
    case EntryKind::TooShort:
      return Malformed::NotNineDigits;
    case EntryKind::WellFormed:
      break;
  }
  return Malformed::None;
}

// The verdict on content between the blanks, within the content bound.
Malformed VerdictOn(std::string_view content, std::string& digits) {
  if (IsGrouped(content)) {
    digits.assign(content.substr(0, 3));
    digits.append(content.substr(4, 3));
    digits.append(content.substr(8, 3));
    return Malformed::None;
  }
  const EntryKind kind = ClassifyEntry(content);
  if (kind == EntryKind::WellFormed) {
    digits.assign(content);
    return Malformed::None;
  }
  return Refine(content, kind);
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
    case Malformed::None:
      break;
  }
  return "";
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
  if (entry.size() == kNumberLength && std::all_of(entry.begin(), entry.end(), IsDigit)) {
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
      if (content.size() == kNumberLength && digits == kNumberLength) {
        parsed.digits.assign(content);  // nine digits and nothing else
      } else {
        parsed.error = VerdictOn(content, parsed.digits);
      }
      return parsed;
    }
  }
  EntryScanner scanner;
  scanner.Scan(entry);
  parsed.input.assign(entry.substr(0, scanner.EchoBytes()));
  parsed.error = scanner.Verdict(parsed.digits);
  parsed.digitCount = scanner.DigitCount();
  return parsed;
}

}  // namespace mivaro::cli

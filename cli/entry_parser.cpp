#include "cli/entry_parser.h"

#include <algorithm>

#include "core/entry.h"
#include "core/evaluation.h"

namespace mivaro::cli {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSeparator(char c) {
  return c == ' ' || c == '-';
}
bool StartsCharacter(char c) {
  return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
}

std::size_t FindNotBlank(std::string_view text) {
  const auto found = std::find_if_not(text.begin(), text.end(), IsBlank);
  return found == text.end() ? std::string_view::npos
                             : static_cast<std::size_t>(found - text.begin());
}

std::size_t FindLastNotBlank(std::string_view text) {
  const auto found = std::find_if_not(text.rbegin(), text.rend(), IsBlank);
  return found == text.rend() ? std::string_view::npos
                              : static_cast<std::size_t>(text.rend() - found) - 1;
}

// "123 456 782" or "123-456-782": one kind of separator, used twice.
bool IsGrouped(std::string_view text) {
  if (text.size() != 11 || !IsSeparator(text[3]) || text[7] != text[3]) return false;
  for (const std::size_t at : {0, 1, 2, 4, 5, 6, 8, 9, 10}) {
    if (!IsDigit(text[at])) return false;
  }
  return true;
}

// Sorts trimmed content that the shared entry classification does not accept
// as it stands. Entries made only of digits, separators and blanks get the
// more precise reason; all others keep the classification's verdict.
Malformed Refine(std::string_view content, EntryKind kind) {
  const bool onlyDigitsAndSeparators = std::all_of(content.begin(), content.end(), [](char c) {
    return IsDigit(c) || IsSeparator(c) || IsBlank(c);
  });
  const auto digits =
      static_cast<std::size_t>(std::count_if(content.begin(), content.end(), IsDigit));
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

void EntryAccumulator::Feed(std::string_view piece) {
  if (piece.empty()) return;
  inputEndsInCr_ = piece.back() == '\r';

  // The echo keeps whole characters: a byte that starts a character counts,
  // the continuation bytes of the last kept character still belong to it.
  if (inputCharacters_ <= kInputCharacters) {
    for (const char c : piece) {
      if (StartsCharacter(c) && ++inputCharacters_ > kInputCharacters) break;
      input_ += c;
    }
  }

  if (!started_) {
    const std::size_t first = FindNotBlank(piece);
    if (first == std::string_view::npos) return;
    started_ = true;
    piece.remove_prefix(first);
  }
  // Blanks are held back until more content follows them, so trailing ones
  // never count; past the limit only the fact of overflowing is kept.
  const std::size_t lastContent = FindLastNotBlank(piece);
  if (lastContent != std::string_view::npos) {
    const std::string_view content = piece.substr(0, lastContent + 1);
    if (overflowed_ || content_.size() + pendingBlanks_.size() + content.size() > kContentLimit) {
      overflowed_ = true;
    } else {
      content_ += pendingBlanks_;
      content_ += content;
    }
    pendingBlanks_.clear();
    piece.remove_prefix(lastContent + 1);
  }
  pendingBlanks_.append(piece.substr(0, kContentLimit - pendingBlanks_.size()));
}

ParsedEntry EntryAccumulator::Finish() {
  ParsedEntry entry;
  if (inputEndsInCr_ && inputCharacters_ <= kInputCharacters) input_.pop_back();
  entry.input = std::move(input_);

  if (overflowed_) {
    entry.error = Malformed::TooLong;
  } else if (IsGrouped(content_)) {
    entry.digits = content_.substr(0, 3) + content_.substr(4, 3) + content_.substr(8, 3);
  } else {
    const EntryKind kind = ClassifyEntry(content_);
    if (kind == EntryKind::WellFormed) {
      entry.digits = content_;
    } else {
      entry.error = Refine(content_, kind);
    }
  }

  *this = EntryAccumulator();
  return entry;
}

ParsedEntry ParseEntry(std::string_view entry) {
  EntryAccumulator accumulator;
  accumulator.Feed(entry);
  return accumulator.Finish();
}

}  // namespace mivaro::cli

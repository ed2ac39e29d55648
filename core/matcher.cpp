// SPDX-License-Identifier: Apache-2.0
// The matcher: what a number, a keyword and a SIN column are, read from the
// window of text the searcher holds.
#include "matcher.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_search.h"
#include "names.h"
#include "nine_digits.h"
#include "places.h"
#include "scan_text.h"
#include "text/fold.h"
#include "text/utf8.h"

namespace mivaro::detail {
namespace {

// How many characters after a number the rules read: up to four, each of
// which may be preceded by characters that are seen through.
constexpr std::size_t kLookaheadCharacters = 4;
// Bytes of seen-through characters, in a row, past which the rest of a text
// is taken as its end.
constexpr std::size_t kMostSeenThroughBytes = 256;
// The longest first line read for a table's header.
constexpr std::size_t kMostHeaderBytes = 4096;

// Whether every byte of a short stretch is ASCII, eight at a time.
bool IsAscii(std::string_view bytes) {
  std::uint64_t high = 0;
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, 8);
    high |= word;
  }
  for (; at < bytes.size(); ++at) high |= static_cast<unsigned char>(bytes[at]);
  return (high & 0x8080808080808080ULL) == 0;
}

bool Passes(const Number& digits) {
  int sum = 0;
  return SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum) && SumPasses(sum);
}

}  // namespace

Character Window::At(std::size_t at) const {
  if (at >= bytes_.size()) return {0, bytes_.size(), 0};
  const text::Utf8Step step = text::DecodeUtf8(bytes_, at);
  if (!step.valid && !ending_ && bytes_.size() - at < 4 &&
      text::IncompleteUtf8Tail(bytes_.substr(at)) == bytes_.size() - at) {
    return {0, bytes_.size(), 0};
  }
  return {step.valid ? step.codePoint : 0xFFFD, at, step.length};
}

// Past kMostSeenThroughBytes of seen-through characters in a row, the one
// there is taken as it is: a character that joins nothing.
Character Window::Next(std::size_t at) const {
  const std::size_t from = at;
  Character c = At(at);
  while (c.Exists() && IsZeroWidth(c.code) && c.at - from < kMostSeenThroughBytes) {
    c = At(c.at + c.length);
  }
  return c;
}

Character Window::Previous(std::size_t at) const {
  const std::size_t from = at;
  while (at > 0) {
    std::size_t start = at - 1;
    while (start > 0 && at - start < 4 &&
           (static_cast<unsigned char>(bytes_[start]) & 0xC0U) == 0x80U) {
      --start;
    }
    Character c = At(start);
    if (c.at + c.length != at) c = {0xFFFD, at - 1, 1};  // a stray byte
    if (!IsZeroWidth(c.code) || from - c.at >= kMostSeenThroughBytes) return c;
    at = c.at;
  }
  return {};
}

std::size_t Window::Characters(std::size_t from, std::size_t to, std::size_t most) const {
  std::size_t count = 0;
  for (std::size_t at = from; at < to && count <= most;) {
    // Eight bytes at a time where that cannot pass most by much.
    if (to - at >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes_.data() + at, 8);
      count += 8 - ContinuationBytes(word);
      at += 8;
      continue;
    }
    count += (static_cast<unsigned char>(bytes_[at]) & 0xC0U) != 0x80U ? 1 : 0;
    ++at;
  }
  return count;
}

std::size_t Window::ReachBefore(std::size_t at) const {
  std::size_t count = 0;
  while (at > 0 && count < kKeywordReach) {
    --at;
    count += (static_cast<unsigned char>(bytes_[at]) & 0xC0U) != 0x80U ? 1 : 0;
  }
  return at;
}

namespace {

// Whether a number is not part of something longer: no letter, digit or
// underscore against it, and no decimal, dash, decimal comma or group of its
// own separator that would continue it.
Reading StandsAlone(const Window& w, const Candidate& number, char32_t separator) {
  const Character before = w.Previous(number.first);
  if (before.Exists()) {
    if (IsWordCharacter(before.code)) return Reading::NotOne;
    const Character further = w.Previous(before.at);
    const bool continues =
        before.code == '.' || IsDash(before.code) || (number.grouped && before.code == separator);
    if (continues && further.Exists() && IsDigit(further.code)) return Reading::NotOne;
  }
  std::array<Character, kLookaheadCharacters> after{};
  std::size_t at = number.end;
  for (Character& c : after) {
    c = w.Next(at);
    if (w.Waits(c)) return Reading::Waiting;
    if (!c.Exists()) break;
    at = c.at + c.length;
  }
  const auto digit = [&](std::size_t i) { return after[i].Exists() && IsDigit(after[i].code); };
  const char32_t next = after[0].code;
  if (after[0].Exists() && IsWordCharacter(next)) return Reading::NotOne;
  if ((next == '.' || IsDash(next) || (number.grouped && next == separator)) && digit(1)) {
    return Reading::NotOne;
  }
  // A decimal comma: one or two digits after it, and no more.
  if (next == ',' && digit(1) && (!digit(2) || !digit(3))) return Reading::NotOne;
  return Reading::Found;
}

}  // namespace

Reading ReadNumber(const Window& w, std::size_t first, Candidate& found) {
  // Inside a run of digits that started before: not the start of a number.
  const Character before = w.Previous(first);
  if (before.Exists() && IsDigit(before.code)) return Reading::NotOne;
  Candidate number;
  number.first = first;
  std::size_t count = 0;
  std::size_t at = first;
  Character c = w.Next(at);
  // The first run of digits, which tells the form; past nine it is none.
  while (c.Exists() && IsDigit(c.code) && count <= kNumberLength) {
    if (count < kNumberLength) number.digits[count] = static_cast<char>(c.code);
    ++count;
    at = c.at + c.length;
    number.end = at;
    c = w.Next(at);
  }
  if (w.Waits(c) && count <= kNumberLength) return Reading::Waiting;
  char32_t separator = 0;
  if (count == kNumberLength) {
    number.grouped = false;
  } else {
    if (count != 3 || !c.Exists() || !JoinsGroupsInText(c.code)) return Reading::NotOne;
    separator = c.code;
    for (std::size_t group = 1; group < 3; ++group) {
      if (group == 2) {
        c = w.Next(at);
        if (w.Waits(c)) return Reading::Waiting;
        if (!c.Exists() || c.code != separator) return Reading::NotOne;
      }
      at = c.at + c.length;
      for (std::size_t i = 0; i < 3; ++i) {
        c = w.Next(at);
        if (w.Waits(c)) return Reading::Waiting;
        if (!c.Exists() || !IsDigit(c.code)) return Reading::NotOne;
        number.digits[group * 3 + i] = static_cast<char>(c.code);
        at = c.at + c.length;
      }
      number.end = at;
    }
    number.grouped = true;
  }
  const Reading alone = StandsAlone(w, number, separator);
  if (alone != Reading::Found) return alone;
  if (!Passes(number.digits)) return Reading::NotOne;
  found = number;
  return Reading::Found;
}

bool ReadAsciiNumber(const Window& w, std::size_t first, Candidate& found, Reading& reading,
                     bool knownAscii) {
  // The rules read up to two characters before a number and four after it,
  // and a number takes at most eleven bytes.
  constexpr std::size_t kBefore = 2;
  constexpr std::size_t kSpan = 11 + kLookaheadCharacters;
  const std::string_view b = w.Bytes();
  if (!w.Ending() && first + kSpan > b.size()) return false;
  // A window that does not start the text has characters before its start.
  if (first < kBefore && w.Base() != 0) return false;
  const std::size_t low = first >= kBefore ? first - kBefore : 0;
  const std::size_t high = std::min(b.size(), first + kSpan);
  if (!knownAscii && !IsAscii(b.substr(low, high - low))) return false;
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(b[at]); };
  const auto digit = [&](std::size_t at) { return at < b.size() && IsAsciiDigit(byte(at)); };
  reading = Reading::NotOne;
  if (first > 0 && IsWordCharacter(byte(first - 1))) return true;  // digits too
  // The form, and the check sum, which most runs of nine digits fail, first.
  Candidate number;
  number.first = first;
  const std::size_t most = std::min(b.size() - first, kNumberLength + 1);
  std::size_t run = 0;
  while (run < most && IsAsciiDigit(byte(first + run))) ++run;
  if (run == kNumberLength) {
    std::memcpy(number.digits.data(), b.data() + first, kNumberLength);
    number.end = first + kNumberLength;
  } else if (run == 3 && first + 11 <= b.size() && JoinsGroupsInText(byte(first + 3)) &&
             byte(first + 7) == byte(first + 3) && IsAsciiDigit(byte(first + 4)) &&
             IsAsciiDigit(byte(first + 5)) && IsAsciiDigit(byte(first + 6)) &&
             IsAsciiDigit(byte(first + 8)) && IsAsciiDigit(byte(first + 9)) &&
             IsAsciiDigit(byte(first + 10))) {
    std::memcpy(number.digits.data(), b.data() + first, 3);
    std::memcpy(number.digits.data() + 3, b.data() + first + 4, 3);
    std::memcpy(number.digits.data() + 6, b.data() + first + 8, 3);
    number.end = first + 11;
    number.grouped = true;
  } else {
    return true;
  }
  if (!Passes(number.digits)) return true;
  const unsigned char separator = number.grouped ? byte(first + 3) : 0;
  const auto continues = [&](unsigned char c) {
    return c == '.' || c == '-' || (number.grouped && c == separator);
  };
  if (first >= 2 && continues(byte(first - 1)) && IsAsciiDigit(byte(first - 2))) return true;
  const std::size_t end = number.end;
  if (end < b.size()) {
    const unsigned char next = byte(end);
    if (IsWordCharacter(next)) return true;
    if (continues(next) && digit(end + 1)) return true;
    // A decimal comma: one or two digits after it, and no more.
    if (next == ',' && digit(end + 1) && (!digit(end + 2) || !digit(end + 3))) return true;
  }
  found = number;
  reading = Reading::Found;
  return true;
}

Reading ReadKeyword(const Window& w, std::size_t at, KeywordAt& found) {
  const std::string_view b = w.Bytes();
  if (at > 0) {
    const auto before = static_cast<unsigned char>(b[at - 1]);
    if (before < 0x80 ? JoinsKeyword(before) : JoinsKeyword(w.Previous(at).code)) {
      return Reading::NotOne;
    }
  }
  // The first two bytes, where they are ASCII, rule out most keywords at
  // once: folded as the keywords are, letters to small ones.
  const auto folded = [&](std::size_t i) -> int {
    if (at + i >= b.size()) return -1;
    const auto c = static_cast<unsigned char>(b[at + i]);
    if (c >= 0x80) return -1;
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
  };
  const int first = folded(0);
  const int second = folded(1);
  bool waiting = false;
  for (const Keyword& keyword : kKeywords) {
    if ((first >= 0 && first != keyword.folded[0]) ||
        (second >= 0 && second != keyword.folded[1])) {
      continue;
    }
    std::size_t place = at;
    bool matched = true;
    for (std::size_t i = 0; matched && i < keyword.folded.size(); ++i) {
      const Character c = w.At(place);
      if (!c.Exists()) {
        waiting = waiting || !w.Ending();
        matched = false;
        break;
      }
      const char wanted = keyword.folded[i];
      if (wanted == ' ') {
        // Words are joined by blanks, hyphens or underscores, any number.
        const auto joins = [](char32_t code) {
          return text::IsBlank(code) || code == '-' || code == '_';
        };
        if (!joins(c.code)) {
          matched = false;
          break;
        }
        place = c.at + c.length;
        for (Character more = w.At(place); more.Exists() && joins(more.code); more = w.At(place)) {
          place = more.at + more.length;
        }
        continue;
      }
      matched = keyword.capitalsOnly
                    ? c.code == static_cast<char32_t>(wanted - ('a' - 'A'))
                    : text::WithoutAccent(text::LowerCase(c.code)) == static_cast<char32_t>(wanted);
      place = c.at + c.length;
    }
    if (!matched) continue;
    const Character after = w.Next(place);
    if (w.Waits(after)) {
      waiting = true;
      continue;
    }
    if (after.Exists() && JoinsKeyword(after.code)) continue;
    found = {at, place, keyword.name};
    return Reading::Found;
  }
  return waiting ? Reading::Waiting : Reading::NotOne;
}

bool TableColumns::ReadHeader(const Window& w) {
  if (state_ != State::Unknown) return true;
  if (w.Base() != 0) {
    state_ = State::None;
    return true;
  }
  const std::string_view b = w.Bytes();
  const std::size_t newline = b.find('\n');
  if (newline == std::string_view::npos && !w.Ending() && b.size() <= kMostHeaderBytes) {
    return false;
  }
  state_ = State::None;
  if (newline == std::string_view::npos && !w.Ending()) return true;
  std::string_view line = b.substr(0, newline);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  const std::vector<SinColumn> columns = FindSinColumns(line);
  if (columns.empty()) return true;
  // The first delimiter that names a SIN column, and its first such cell.
  state_ = State::SinColumn;
  column_ = columns.front();
  followedTo_ = newline + 1;
  return true;
}

void TableColumns::FollowTo(const Window& w, std::uint64_t offset) {
  if (state_ != State::SinColumn) return;
  for (; followedTo_ < offset; ++followedTo_) {
    const char c = w.Bytes()[w.Index(followedTo_)];
    if (c == '"') {
      quoted_ = !quoted_;
    } else if (!quoted_ && c == column_.delimiter) {
      ++cell_;
    } else if (!quoted_ && (c == '\n' || c == '\r')) {
      cell_ = 0;
    }
  }
}

std::string_view TableColumns::ColumnAt(const Window& w, std::uint64_t offset) {
  if (state_ != State::SinColumn || offset < followedTo_) return {};
  FollowTo(w, offset);
  return cell_ == column_.index ? column_.name : std::string_view();
}

Confidence Decide(const Number& digits, bool grouped, std::string_view because,
                  std::string_view& keyword) {
  keyword = {};
  // Business and dummy numbers share the first digit 8.
  if (digits[0] == '8') return Confidence::Low;
  if (!because.empty()) {
    keyword = because;
    return Confidence::High;
  }
  return grouped ? Confidence::Medium : Confidence::Low;
}

}  // namespace mivaro::detail

namespace mivaro {

std::optional<Confidence> ParseConfidence(std::string_view name, std::string& error) {
  const auto index = detail::FindName(kConfidenceNames, name, "confidence", error);
  if (!index) return std::nullopt;
  return static_cast<Confidence>(*index + 1);
}

std::span<const std::string_view> KeywordNames() noexcept {
  static constexpr auto kNames = [] {
    std::array<std::string_view, detail::kKeywords.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = detail::kKeywords[i].name;
    return names;
  }();
  return kNames;
}

}  // namespace mivaro

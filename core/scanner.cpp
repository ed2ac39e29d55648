// SPDX-License-Identifier: Apache-2.0
// The scanner: SINs in free text. It searches the bytes for digits, reads
// each run of them as the rules of a candidate say, and looks for keywords
// only around the numbers that pass, so that text with no SIN costs little
// more than the search for digits.
#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "mivaro/scan.h"
#include "nine_digits.h"
#include "scan_text.h"
#include "text/fold.h"
#include "text/utf8.h"

namespace mivaro {
namespace {

using namespace detail;

// One character as the rules read it, at a place in the scanner's buffer;
// code point 0 with length 0 where there is none (the start or the end).
struct Character {
  char32_t code = 0;
  std::size_t at = 0;
  std::size_t length = 0;

  bool Exists() const { return length != 0; }
};

// How many bytes after a candidate's last digit the rules read: up to four
// characters, each of which may be preceded by characters that are seen
// through.
constexpr std::size_t kLookaheadCharacters = 4;
// Bytes of seen-through characters, in a row, past which the rest of a text
// is taken as its end.
constexpr std::size_t kMostSeenThroughBytes = 256;
// The longest first line read for a table's header.
constexpr std::size_t kMostHeaderBytes = 4096;
// How many bytes of text are kept before the place the search has reached:
// the keyword reach in the widest characters, and the context before a
// number.
constexpr std::size_t kHistoryBytes = kKeywordReach * 4 + 64;

// A queue of at most N items kept in place, so that finding numbers and
// keywords allocates nothing once the scanner is made.
template <typename T, std::size_t N>
class Ring {
 public:
  bool empty() const { return size_ == 0; }
  bool full() const { return size_ == N; }
  std::size_t size() const { return size_; }
  T& front() { return items_[first_]; }
  const T& front() const { return items_[first_]; }
  const T& operator[](std::size_t index) const { return items_[(first_ + index) % N]; }
  // The caller makes room first: pushing onto a full ring drops its front.
  void push_back(const T& item) {
    if (full()) pop_front();
    items_[(first_ + size_) % N] = item;
    ++size_;
  }
  void pop_front() {
    first_ = (first_ + 1) % N;
    --size_;
  }

 private:
  std::array<T, N> items_{};
  std::size_t first_ = 0;
  std::size_t size_ = 0;
};

// How many numbers may wait for their confidence at once: more than the
// first line can hold while it tells whether the text is a table.
constexpr std::size_t kMostPending = 1024;
// How many keywords are kept: more than fit in the reach before and after a
// number.
constexpr std::size_t kMostKeywords = 1024;

}  // namespace

std::optional<std::string_view> SinColumnName(std::string_view headerCell) {
  std::size_t longest = 0;
  for (const std::string_view name : kSinHeaderNames) longest = std::max(longest, name.size());
  const std::string folded = text::Folded(headerCell, text::Fold::Spelling, longest);
  for (const std::string_view name : kSinHeaderNames) {
    if (text::Folded(name, text::Fold::Spelling) == folded) return name;
  }
  return std::nullopt;
}

struct Scanner::State {
  explicit State(Confidence least) : minimum(least) {}

  // A number that passed, waiting until its confidence is settled.
  struct Pending {
    Match match;
    bool grouped = false;
    bool settled = false;
    std::size_t afterCharacters = 0;  // counted so far, from its end on
    std::uint64_t countedTo = 0;      // where that count stopped
  };
  // A keyword found, by where it starts and ends.
  struct Found {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string_view name;
  };
  enum class Header { Unknown, SinColumn, None };

  Confidence minimum;
  std::string buffer;            // the text from base on
  std::uint64_t base = 0;        // where buffer starts in the text
  bool ending = false;           // the text has no more than buffer holds
  std::size_t scan = 0;          // where the search for numbers goes on
  std::uint64_t keywordsTo = 0;  // how far keywords have been searched for
  Ring<Found, kMostKeywords> keywords;
  Ring<Pending, kMostPending> pending;
  Header header = Header::Unknown;
  char delimiter = ',';
  std::size_t sinColumn = 0;
  std::string_view columnName;
  std::uint64_t cellsTo = 0;  // how far the table's cells have been followed
  std::size_t column = 0;     // the cell there, counted from 0
  bool quoted = false;

  std::uint64_t End() const { return base + buffer.size(); }
  std::size_t Index(std::uint64_t offset) const { return static_cast<std::size_t>(offset - base); }

  // The character at a place, or none at the end of the buffer, and none
  // where a character is cut by the end of what has come so far.
  Character At(std::size_t at) const {
    if (at >= buffer.size()) return {0, buffer.size(), 0};
    const text::Utf8Step step = text::DecodeUtf8(buffer, at);
    if (!step.valid && !ending && buffer.size() - at < 4 &&
        text::IncompleteUtf8Tail(std::string_view(buffer).substr(at)) == buffer.size() - at) {
      return {0, buffer.size(), 0};
    }
    return {step.valid ? step.codePoint : 0xFFFD, at, step.length};
  }

  // The next character at or after a place that is not seen through. Past
  // kMostSeenThroughBytes of those in a row, the one there is taken as it
  // is: a character that joins nothing.
  Character Next(std::size_t at) const {
    const std::size_t from = at;
    Character c = At(at);
    while (c.Exists() && IsZeroWidth(c.code) && c.at - from < kMostSeenThroughBytes) {
      c = At(c.at + c.length);
    }
    return c;
  }

  // The character before a place that is not seen through, or none; bounded
  // as Next is.
  Character Previous(std::size_t at) const {
    const std::size_t from = at;
    while (at > 0) {
      std::size_t start = at - 1;
      while (start > 0 && at - start < 4 &&
             (static_cast<unsigned char>(buffer[start]) & 0xC0U) == 0x80U) {
        --start;
      }
      Character c = At(start);
      if (c.at + c.length != at) c = {0xFFFD, at - 1, 1};  // a stray byte
      if (!IsZeroWidth(c.code) || from - c.at >= kMostSeenThroughBytes) return c;
      at = c.at;
    }
    return {};
  }

  // Whether Next found the end of the text so far, and more is to come.
  bool Waits(const Character& c) const { return !c.Exists() && !ending; }

  // Counts characters in [from, to), stopping past most.
  std::size_t Characters(std::size_t from, std::size_t to, std::size_t most) const {
    std::size_t count = 0;
    for (std::size_t at = from; at < to && count <= most; ++at) {
      count += (static_cast<unsigned char>(buffer[at]) & 0xC0U) != 0x80U ? 1 : 0;
    }
    return count;
  }

  // The place kKeywordReach characters before a place, or the buffer's start.
  std::size_t ReachBefore(std::size_t at) const {
    std::size_t count = 0;
    while (at > 0 && count < kKeywordReach) {
      --at;
      count += (static_cast<unsigned char>(buffer[at]) & 0xC0U) != 0x80U ? 1 : 0;
    }
    return at;
  }

  void Feed(std::string_view piece, Sink sink, void* context);
  void Finish(Sink sink, void* context);
  void Work(Sink sink, void* context);
  bool ReadHeader();
  enum class Search { Done, Waiting, Full };
  Search SearchNumbers();
  bool Dismisses(std::size_t first, std::size_t& next) const;
  enum class Reading { Candidate, NotOne, Waiting };
  Reading ReadCandidate(std::size_t first, std::size_t& end, Number& digits, bool& grouped,
                        char32_t& separator) const;
  bool ReadAsciiCandidate(std::size_t first, std::size_t& end, Number& digits, bool& grouped,
                          char32_t& separator) const;
  bool StandsAlone(std::size_t first, std::size_t end, bool grouped, char32_t separator,
                   bool& waiting) const;
  void SearchKeywords(std::uint64_t to);
  std::size_t MatchKeyword(std::size_t at, const Keyword& keyword, bool& waiting) const;
  bool InSinColumn(std::uint64_t offset);
  void FollowCells(std::uint64_t to);
  bool Settle(Pending& pending);
  void Report(Sink sink, void* context);
  void Trim();
};

// Reads the table's first line, once it is whole: a header with a SIN column
// makes every number in that column high. Returns false while it waits.
bool Scanner::State::ReadHeader() {
  if (header != Header::Unknown) return true;
  if (base != 0) {
    header = Header::None;
    return true;
  }
  const std::size_t newline = buffer.find('\n');
  if (newline == std::string::npos && !ending && buffer.size() <= kMostHeaderBytes) return false;
  header = Header::None;
  if (newline == std::string::npos && !ending) return true;
  std::string_view line(buffer.data(), std::min(newline, buffer.size()));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  for (const char candidate : {',', ';', '\t'}) {
    // Cells as RFC 4180 splits them; a quoted cell's quotes are not part of
    // its name.
    std::size_t index = 0;
    std::string cell;
    bool inQuotes = false;
    for (std::size_t at = 0; at <= line.size(); ++at) {
      const char c = at < line.size() ? line[at] : candidate;
      if (c == '"') {
        inQuotes = !inQuotes;
        if (!inQuotes && at + 1 < line.size() && line[at + 1] == '"') cell += '"';
        continue;
      }
      if (c != candidate || inQuotes) {
        cell += c;
        continue;
      }
      if (const auto name = SinColumnName(text::TrimBlanks(cell));
          name && line.find(candidate) != std::string_view::npos) {
        header = Header::SinColumn;
        delimiter = candidate;
        sinColumn = index;
        columnName = *name;
        cellsTo = newline + 1;
        return true;
      }
      cell.clear();
      ++index;
    }
  }
  return true;
}

// Follows the table's cells up to a place: which cell of its row each byte
// is in, quotes and line breaks in quotes counted.
void Scanner::State::FollowCells(std::uint64_t to) {
  for (; cellsTo < to; ++cellsTo) {
    const char c = buffer[Index(cellsTo)];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == delimiter) {
      ++column;
    } else if (!quoted && (c == '\n' || c == '\r')) {
      column = 0;
    }
  }
}

bool Scanner::State::InSinColumn(std::uint64_t offset) {
  if (header != Header::SinColumn || offset < cellsTo) return false;
  FollowCells(offset);
  return column == sinColumn;
}

// ReadCandidate's way for eleven bytes and one more of ASCII, where no
// character can be seen through: returns false when it cannot tell, else true
// with end at first for no candidate, or past it.
bool Scanner::State::ReadAsciiCandidate(std::size_t first, std::size_t& end, Number& digits,
                                        bool& grouped, char32_t& separator) const {
  constexpr std::size_t kBytes = 12;
  if (buffer.size() - first < kBytes) return false;
  const char* b = buffer.data() + first;
  for (std::size_t i = 0; i < kBytes; ++i) {
    if (static_cast<unsigned char>(b[i]) >= 0x80) return false;
  }
  const auto digit = [&](std::size_t i) { return static_cast<unsigned char>(b[i] - '0') <= 9; };
  std::size_t run = 0;
  while (run < kBytes && digit(run)) ++run;
  end = first;
  if (run == kNumberLength) {
    std::memcpy(digits.data(), b, kNumberLength);
    grouped = false;
    end = first + kNumberLength;
  } else if (run == 3 && IsGroupSeparator(static_cast<unsigned char>(b[3])) && b[7] == b[3] &&
             digit(4) && digit(5) && digit(6) && digit(8) && digit(9) && digit(10)) {
    std::memcpy(digits.data(), b, 3);
    std::memcpy(digits.data() + 3, b + 4, 3);
    std::memcpy(digits.data() + 6, b + 8, 3);
    grouped = true;
    separator = static_cast<unsigned char>(b[3]);
    end = first + 11;
  }
  return true;
}

// Reads the candidate whose first digit is at first: nine digits, or three
// groups of three joined twice by one separator. Characters seen through may
// stand anywhere between them.
Scanner::State::Reading Scanner::State::ReadCandidate(std::size_t first, std::size_t& end,
                                                      Number& digits, bool& grouped,
                                                      char32_t& separator) const {
  if (ReadAsciiCandidate(first, end, digits, grouped, separator)) {
    return end == first ? Reading::NotOne : Reading::Candidate;
  }
  std::size_t count = 0;
  std::size_t at = first;
  Character c = Next(at);
  // The first run of digits, which tells the form.
  while (c.Exists() && IsDigit(c.code)) {
    if (count < kNumberLength) digits[count] = static_cast<char>(c.code);
    ++count;
    at = c.at + c.length;
    end = at;
    c = Next(at);
  }
  if (Waits(c) && count <= kNumberLength) return Reading::Waiting;
  if (count == kNumberLength) {
    grouped = false;
    return Reading::Candidate;
  }
  if (count != 3 || !c.Exists() || !IsGroupSeparator(c.code)) return Reading::NotOne;
  separator = c.code;
  for (std::size_t group = 1; group < 3; ++group) {
    if (group == 2) {
      c = Next(at);
      if (Waits(c)) return Reading::Waiting;
      if (!c.Exists() || c.code != separator) return Reading::NotOne;
    }
    at = c.at + c.length;
    for (std::size_t i = 0; i < 3; ++i) {
      c = Next(at);
      if (Waits(c)) return Reading::Waiting;
      if (!c.Exists() || !IsDigit(c.code)) return Reading::NotOne;
      digits[group * 3 + i] = static_cast<char>(c.code);
      at = c.at + c.length;
    }
    end = at;
  }
  grouped = true;
  return Reading::Candidate;
}

// Whether a candidate is not part of something longer: no letter, digit or
// underscore against it, and no decimal, dash, decimal comma or group of its
// own separator that would continue it.
bool Scanner::State::StandsAlone(std::size_t first, std::size_t end, bool grouped,
                                 char32_t separator, bool& waiting) const {
  const Character before = Previous(first);
  if (before.Exists()) {
    if (IsWordCharacter(before.code)) return false;
    const Character further = Previous(before.at);
    const bool continues =
        before.code == '.' || IsDash(before.code) || (grouped && before.code == separator);
    if (continues && further.Exists() && IsDigit(further.code)) return false;
  }
  std::array<Character, kLookaheadCharacters> after{};
  std::size_t at = end;
  for (Character& c : after) {
    c = Next(at);
    if (Waits(c)) {
      waiting = true;
      return false;
    }
    if (!c.Exists()) break;
    at = c.at + c.length;
  }
  const auto digit = [&](std::size_t i) { return after[i].Exists() && IsDigit(after[i].code); };
  const char32_t next = after[0].code;
  if (after[0].Exists() && IsWordCharacter(next)) return false;
  if ((next == '.' || IsDash(next) || (grouped && next == separator)) && digit(1)) return false;
  // A decimal comma: one or two digits after it, and no more.
  if (next == ',' && digit(1) && (!digit(2) || !digit(3))) return false;
  return true;
}

// Dismisses most runs of digits from their bytes alone, as the rules would:
// returns true, with the place after the run, for a run that cannot start a
// number. The rest, and runs that touch characters beyond ASCII, are read
// the long way.
bool Scanner::State::Dismisses(std::size_t first, std::size_t& next) const {
  std::size_t end = first;
  while (end < buffer.size() && static_cast<unsigned char>(buffer[end] - '0') <= 9) ++end;
  next = end;
  // Joined to a letter, digit or underscore before it: inside something.
  const auto before = first > 0 ? static_cast<unsigned char>(buffer[first - 1]) : ' ';
  if (first > 0 && before < 0x80 && IsWordCharacter(before)) return true;
  if (end == buffer.size()) return false;  // the run may go on
  return DismissedBy(before, static_cast<unsigned char>(buffer[end]), end - first);
}

// Searches the text for numbers from where the search stopped, until the
// end of the text so far, or until it must wait for more, or until as many
// numbers wait for their confidence as can.
Scanner::State::Search Scanner::State::SearchNumbers() {
  while (!pending.full()) {
    const std::size_t first = FindDigit(buffer, SkipDismissedRuns(buffer, scan));
    if (first == buffer.size()) {
      scan = first;
      return Search::Done;
    }
    if (std::size_t next = 0; Dismisses(first, next)) {
      scan = next;
      continue;
    }
    scan = first + 1;
    // Inside a run of digits that started before: not the start of a number.
    const Character before = Previous(first);
    if (before.Exists() && IsDigit(before.code)) continue;
    std::size_t end = first;
    Number digits{};
    bool grouped = false;
    char32_t separator = 0;
    const Reading reading = ReadCandidate(first, end, digits, grouped, separator);
    if (reading == Reading::Waiting) {
      scan = first;
      return Search::Waiting;
    }
    if (reading == Reading::NotOne) continue;
    bool waiting = false;
    const bool alone = StandsAlone(first, end, grouped, separator, waiting);
    if (waiting) {
      scan = first;
      return Search::Waiting;
    }
    int sum = 0;
    if (!alone || !detail::SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum) ||
        !SumPasses(sum)) {
      continue;
    }
    Pending found;
    found.match.offset = base + first;
    found.match.length = end - first;
    found.match.number = digits;
    found.grouped = grouped;
    found.countedTo = base + end;
    pending.push_back(found);
    scan = end;
  }
  return Search::Full;
}

// Returns the end of a keyword that starts at a place, or 0.
std::size_t Scanner::State::MatchKeyword(std::size_t at, const Keyword& keyword,
                                         bool& waiting) const {
  std::size_t place = at;
  for (std::size_t i = 0; i < keyword.folded.size(); ++i) {
    const Character c = At(place);
    if (!c.Exists()) {
      waiting = waiting || !ending;
      return 0;
    }
    const char wanted = keyword.folded[i];
    if (wanted == ' ') {
      // Words are joined by blanks, hyphens or underscores, any number.
      if (!text::IsBlank(c.code) && c.code != '-' && c.code != '_') return 0;
      place = c.at + c.length;
      for (Character more = At(place);
           more.Exists() && (text::IsBlank(more.code) || more.code == '-' || more.code == '_');
           more = At(place)) {
        place = more.at + more.length;
      }
      continue;
    }
    if (keyword.capitalsOnly
            ? c.code != static_cast<char32_t>(wanted - ('a' - 'A'))
            : text::WithoutAccent(text::LowerCase(c.code)) != static_cast<char32_t>(wanted)) {
      return 0;
    }
    place = c.at + c.length;
  }
  const Character after = Next(place);
  if (Waits(after)) {
    waiting = true;
    return 0;
  }
  return after.Exists() && JoinsKeyword(after.code) ? 0 : place;
}

// Looks for keywords from where that stopped up to a place.
void Scanner::State::SearchKeywords(std::uint64_t to) {
  to = std::min(to, End());
  std::size_t at = Index(std::max(keywordsTo, base));
  while (base + at < to) {
    const char c = buffer[at];
    if (!MayStartKeyword(c) || (at > 0 && JoinsKeyword(Previous(at).code))) {
      ++at;
      continue;
    }
    bool waiting = false;
    std::size_t end = 0;
    const Keyword* found = nullptr;
    for (const Keyword& keyword : kKeywords) {
      end = MatchKeyword(at, keyword, waiting);
      if (end != 0) {
        found = &keyword;
        break;
      }
    }
    if (found == nullptr && waiting) break;  // more text may make one
    if (found == nullptr) {
      ++at;
      continue;
    }
    keywords.push_back({base + at, base + end, found->name});
    at = end;
  }
  keywordsTo = std::max(keywordsTo, base + at);
}

// Settles a number's confidence when it can be: returns false while a
// keyword after it may still come.
bool Scanner::State::Settle(Pending& p) {
  if (p.settled) return true;
  if (header == Header::Unknown) return false;
  Match& match = p.match;
  const std::uint64_t matchEnd = match.offset + match.length;
  const auto decide = [&](Confidence confidence, std::string_view keyword) {
    match.confidence = confidence;
    match.keyword = keyword;
    // Business and dummy numbers share the first digit 8.
    if (match.number[0] == '8') {
      match.confidence = Confidence::Low;
      match.keyword = {};
    }
    p.settled = true;
    return true;
  };
  if (InSinColumn(match.offset)) return decide(Confidence::High, columnName);
  // Keywords are looked for from the reach before the number to the reach
  // after it, in the widest characters: only around numbers.
  // (The search goes on where it stopped when that is near enough.)
  if (keywordsTo + kKeywordReach * 4 + kLongestKeywordBytes < match.offset) {
    const std::size_t reach = ReachBefore(Index(match.offset));
    keywordsTo = std::max(keywordsTo, base + reach - std::min(reach, kLongestKeywordBytes));
  }
  SearchKeywords(matchEnd + kKeywordReach * 4 + 16);
  // Keywords more bytes before it than the reach in the widest characters
  // are out of reach for it and every number after it.
  while (!keywords.empty() && keywords.front().end + kKeywordReach * 4 < match.offset) {
    keywords.pop_front();
  }
  // Keywords are letters and a number is not: each lies before it or after.
  std::size_t after = 0;
  for (std::size_t high = keywords.size(); after < high;) {
    const std::size_t middle = after + (high - after) / 2;
    if (keywords[middle].start < matchEnd) {
      after = middle + 1;
    } else {
      high = middle;
    }
  }
  // The nearest keyword before it, within reach.
  if (after != 0) {
    const Found& k = keywords[after - 1];
    if (k.end >= base &&
        Characters(Index(k.end), Index(match.offset), kKeywordReach) <= kKeywordReach) {
      return decide(Confidence::High, k.name);
    }
  }
  // The first one after it, within reach, once the text has gone that far.
  p.afterCharacters += Characters(Index(p.countedTo), buffer.size(), kKeywordReach);
  p.countedTo = End();
  if (after != keywords.size() &&
      Characters(Index(matchEnd), Index(keywords[after].start), kKeywordReach) <= kKeywordReach) {
    return decide(Confidence::High, keywords[after].name);
  }
  if (p.afterCharacters <= kKeywordReach && !ending) return false;
  return decide(p.grouped ? Confidence::Medium : Confidence::Low, {});
}

// Reports the numbers settled, in order, and lets the rest wait.
void Scanner::State::Report(Sink sink, void* context) {
  while (!pending.empty() && Settle(pending.front())) {
    const Match match = pending.front().match;
    pending.pop_front();
    if (match.confidence >= minimum) sink(match, context);
  }
}

// Forgets the text no longer needed: what lies more than the history before
// the first open number and the search's place.
void Scanner::State::Trim() {
  std::size_t keep = scan;
  if (!pending.empty()) keep = std::min(keep, Index(pending.front().match.offset));
  if (keep <= kHistoryBytes || keep - kHistoryBytes < buffer.size() / 2) return;
  const std::size_t drop = keep - kHistoryBytes;
  if (header == Header::SinColumn) FollowCells(base + drop);
  buffer.erase(0, drop);
  base += drop;
  scan -= drop;
  while (!keywords.empty() && keywords.front().end < base) keywords.pop_front();
}

void Scanner::State::Work(Sink sink, void* context) {
  // Numbers are searched for while the first line is still coming; they are
  // reported once it has told whether the text is a table with a SIN column.
  const bool headerRead = ReadHeader();
  // As many numbers as wait at most are settled and reported before the
  // search goes on: with the text they stand in at hand, all of them can be
  // but while the first line is coming, and that holds fewer.
  while (SearchNumbers() == Search::Full) {
    const std::size_t waiting = pending.size();
    Report(sink, context);
    if (pending.size() == waiting) break;
  }
  Report(sink, context);
  if (headerRead) Trim();
}

void Scanner::State::Feed(std::string_view piece, Sink sink, void* context) {
  // A piece at a time of no more than this, so that memory stays bounded
  // whatever the caller hands over at once.
  constexpr std::size_t kSlice = std::size_t{1} << 16;
  while (!piece.empty()) {
    const std::size_t size = std::min(piece.size(), kSlice);
    buffer.append(piece.data(), size);
    piece.remove_prefix(size);
    Work(sink, context);
  }
}

void Scanner::State::Finish(Sink sink, void* context) {
  ending = true;
  Work(sink, context);
  Report(sink, context);
  *this = State(minimum);
}

Scanner::Scanner(Confidence minimum) : state_(std::make_unique<State>(minimum)) {}
Scanner::~Scanner() = default;
Scanner::Scanner(Scanner&& other) noexcept = default;
Scanner& Scanner::operator=(Scanner&& other) noexcept = default;

void Scanner::FeedTo(std::string_view piece, Sink sink, void* context) {
  state_->Feed(piece, sink, context);
}

void Scanner::FinishTo(Sink sink, void* context) {
  state_->Finish(sink, context);
}

std::uint64_t Scanner::Settled() const noexcept {
  std::uint64_t settled = state_->base + state_->scan;
  if (!state_->pending.empty()) settled = std::min(settled, state_->pending.front().match.offset);
  return settled;
}

std::vector<Match> Find(std::string_view text, Confidence minimum) {
  std::vector<Match> matches;
  Scanner scanner(minimum);
  const auto keep = [&](const Match& match) { matches.push_back(match); };
  scanner.Feed(text, keep);
  scanner.Finish(keep);
  return matches;
}

void RedactDigits(char* matchBytes, std::size_t length, bool allDigits) noexcept {
  const std::size_t hidden = allDigits ? kNumberLength : HiddenDigits(kNumberLength);
  std::size_t digits = 0;
  for (std::size_t at = 0; at < length && digits < hidden; ++at) {
    if (matchBytes[at] >= '0' && matchBytes[at] <= '9') {
      matchBytes[at] = '*';
      ++digits;
    }
  }
}

std::string Redact(std::string_view text, Confidence minimum, bool allDigits) {
  std::string redacted(text);
  for (const Match& match : Find(text, minimum)) {
    RedactDigits(redacted.data() + match.offset, match.length, allDigits);
  }
  return redacted;
}

}  // namespace mivaro

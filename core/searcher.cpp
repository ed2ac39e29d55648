// SPDX-License-Identifier: Apache-2.0
// The searcher: holds the one rolling buffer of text, runs the matcher over
// it, keeps the numbers that wait for their confidence and the keywords near
// them, counts where each match lies, and hands matches and settled text to
// the sink. Memory is bounded by a slice of 64 KiB and the keyword reach.
#include <algorithm>

#include "byte_search.h"
#include "matcher.h"
#include "places.h"
#include "ring.h"
#include "search_routes.h"

namespace mivaro {
namespace {

using namespace detail;

// How many bytes of text are kept before the place the search has reached:
// the keyword reach in the widest characters, and the context before a
// number.
constexpr std::size_t kHistoryBytes = kKeywordReach * 4 + 64;
// How many numbers may wait for their confidence at once: more than the
// first line can hold while it tells whether the text is a table.
constexpr std::size_t kMostPending = 1024;
// How many keywords are kept: more than fit in the reach before and after a
// number.
constexpr std::size_t kMostKeywords = 1024;
// The most text taken at once, so that memory stays bounded whatever a
// caller hands over.
constexpr std::size_t kSlice = std::size_t{1} << 16;

// Returns where the first run of a window's starts is, from the window's start.
std::size_t NextRun(const KeptRuns& runs) {
  return static_cast<std::size_t>(__builtin_ctzll(runs.starts));
}

}  // namespace

SearchSink::~SearchSink() = default;
void SearchSink::Passed(std::string_view) {}

struct Searcher::State {
  explicit State(const SearchOptions& settings) : options(settings) {}

  // A number the rules keep, waiting until its confidence is settled.
  struct Pending {
    Match match;
    bool grouped = false;
    bool settled = false;
    std::size_t afterCharacters = 0;  // counted so far, from its end on
    std::uint64_t countedTo = 0;      // where that count stopped
  };
  // A keyword found, by where it starts and ends in the text.
  struct Keyword {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string_view name;
  };
  enum class Search { Done, Waiting, Full };

  SearchOptions options;
  bool accelerated = true;  // the routes of byte_search_sse2.cpp and ReadAsciiNumber
  ByteBuffer buffer;        // the text from base on, when the searcher holds it
  std::string_view whole;   // the caller's whole text, when it does not
  bool borrowed = false;
  std::uint64_t base = 0;
  bool ending = false;           // the text has no more than the buffer holds
  std::size_t scan = 0;          // where the search for numbers goes on
  KeptRuns runs;                 // the runs of a window not yet read; for this piece only
  bool runsRead = false;         // whether runs holds a window read for this piece
  std::uint64_t keywordsTo = 0;  // how far keywords have been searched for
  std::uint64_t passedTo = 0;    // how far the text has gone to the sink
  Ring<Keyword, kMostKeywords> keywords;
  Ring<Pending, kMostPending> pending;
  TableColumns table;
  PlaceCounter places;
  std::uint64_t countedTo = 0;  // where places stands

  std::string_view Bytes() const { return borrowed ? whole : buffer.View(); }
  Window Text() const { return Window(Bytes(), base, ending); }
  std::uint64_t End() const { return base + Bytes().size(); }
  std::uint64_t SettledTo() const {
    std::uint64_t settled = base + scan;
    if (!pending.empty()) settled = std::min(settled, pending.front().match.offset);
    return settled;
  }

  void ForgetRuns() {
    runs.starts = 0;
    runsRead = false;
  }
  Search SearchNumbers();
  void SearchKeywords(std::uint64_t to);
  bool Settle(Pending& waiting);
  void Report(SearchSink& sink);
  void Hand(SearchSink& sink, const Match& match);
  void Pass(SearchSink& sink, std::uint64_t to);
  void CountTo(std::uint64_t offset);
  void Trim();
  void Work(SearchSink& sink);
  void End(SearchSink& sink);
};

// Searches the text for numbers from where the search stopped, until the
// end of the text so far, or until it must wait for more, or until as many
// numbers wait for their confidence as can.
Searcher::State::Search Searcher::State::SearchNumbers() {
  const Window text = Text();
  const std::string_view bytes = text.Bytes();
  while (!pending.full()) {
    // The next run of digits that the bytes around it do not dismiss, from
    // the window of them at hand or the next.
    while (runs.starts != 0 && runs.at + NextRun(runs) < scan) runs.starts &= runs.starts - 1;
    if (runs.starts == 0) {
      // A window's runs were all found at once: what is left is after it.
      const std::size_t from =
          runsRead && runs.at <= scan && scan < runs.at + 64 ? runs.at + 64 : scan;
      runs = accelerated ? NextKeptRuns(bytes, from, runsRead ? runs : KeptRuns{})
                         : NextKeptRunsPortable(bytes, from);
      runsRead = true;
      if (runs.starts == 0) {
        scan = bytes.size();
        return Search::Done;
      }
    }
    const std::size_t first = runs.at + NextRun(runs);
    runs.starts &= runs.starts - 1;
    scan = first + 1;
    Candidate number;
    Reading reading = Reading::NotOne;
    if (!accelerated || !ReadAsciiNumber(text, first, number, reading, runs.ascii)) {
      reading = ReadNumber(text, first, number);
    }
    if (reading == Reading::Waiting) {
      scan = first;
      ForgetRuns();
      return Search::Waiting;
    }
    if (reading == Reading::NotOne) continue;
    // Filled where it lies in the ring, which a copy from elsewhere would
    // make wait on the writes it copies.
    Pending& found = pending.Add();
    found.match.offset = base + number.first;
    found.match.length = number.end - number.first;
    found.match.number = number.digits;
    found.match.confidence = Confidence::Low;
    found.match.keyword = {};
    found.grouped = number.grouped;
    found.settled = false;
    found.afterCharacters = 0;
    found.countedTo = base + number.end;
    scan = number.end;
  }
  return Search::Full;
}

// Looks for keywords from where that stopped up to a place.
void Searcher::State::SearchKeywords(std::uint64_t to) {
  const Window text = Text();
  const std::string_view bytes = text.Bytes();
  const std::size_t until = text.Index(std::min(to, End()));
  std::size_t at = text.Index(std::max(keywordsTo, base));
  while (at < until) {
    at = accelerated ? NextKeywordStart(bytes, at, until)
                     : NextKeywordStartPortable(bytes, at, until);
    if (at == until) break;
    KeywordAt keyword;
    const Reading reading = ReadKeyword(text, at, keyword);
    if (reading == Reading::Waiting) break;  // more text may make one
    if (reading == Reading::NotOne) {
      ++at;
      continue;
    }
    keywords.push_back({base + keyword.start, base + keyword.end, keyword.name});
    at = keyword.end;
  }
  keywordsTo = std::max(keywordsTo, base + at);
}

// Settles a number's confidence when it can be: returns false while a
// keyword after it may still come.
bool Searcher::State::Settle(Pending& waiting) {
  if (waiting.settled) return true;
  if (!table.HeaderRead()) return false;
  const Window text = Text();
  Match& match = waiting.match;
  const std::uint64_t matchEnd = match.offset + match.length;
  const auto decide = [&](std::string_view because) {
    match.confidence = Decide(match.number, waiting.grouped, because, match.keyword);
    waiting.settled = true;
    return true;
  };
  if (const std::string_view column = table.ColumnAt(text, match.offset); !column.empty()) {
    return decide(column);
  }
  // Keywords are looked for from the reach before the number to the reach
  // after it, in the widest characters: only around numbers. (The search
  // goes on where it stopped when that is near enough.)
  if (keywordsTo + kKeywordReach * 4 + kLongestKeywordBytes < match.offset) {
    const std::size_t reach = text.ReachBefore(text.Index(match.offset));
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
    const Keyword& k = keywords[after - 1];
    if (k.end >= base && text.Characters(text.Index(k.end), text.Index(match.offset),
                                         kKeywordReach) <= kKeywordReach) {
      return decide(k.name);
    }
  }
  // The first one after it, within reach, once the text has gone that far.
  waiting.afterCharacters +=
      text.Characters(text.Index(waiting.countedTo), text.Size(), kKeywordReach);
  waiting.countedTo = End();
  if (after != keywords.size() &&
      text.Characters(text.Index(matchEnd), text.Index(keywords[after].start), kKeywordReach) <=
          kKeywordReach) {
    return decide(keywords[after].name);
  }
  if (waiting.afterCharacters <= kKeywordReach && !ending) return false;
  return decide({});
}

void Searcher::State::CountTo(std::uint64_t offset) {
  if (offset <= countedTo) return;
  const std::string_view bytes = Bytes();
  places.Advance(bytes.substr(static_cast<std::size_t>(countedTo - base),
                              static_cast<std::size_t>(offset - countedTo)));
  countedTo = offset;
}

void Searcher::State::Hand(SearchSink& sink, const Match& match) {
  Found found;
  found.match = match;
  const std::string_view bytes = Bytes();
  const auto at = static_cast<std::size_t>(match.offset - base);
  found.text = bytes.substr(at, match.length);
  // A settled match has its keyword reach after it, or the text's end, and
  // the history before it, or the text's start: both are held.
  const std::size_t from = at - std::min(at, kContextBytes);
  found.before = bytes.substr(from, at - from);
  found.before.remove_prefix(std::min(found.before.size(), found.before.rfind('\n') + 1));
  found.after = bytes.substr(at + match.length, kContextBytes);
  found.after = found.after.substr(0, found.after.find('\n'));
  if (options.places) {
    CountTo(match.offset);
    found.line = places.Line();
    found.start = places.Place();
    found.column = places.Column();
    CountTo(match.offset + match.length);
    found.end = places.Place();
  } else {
    found.start.bytes = match.offset;
    found.end.bytes = match.offset + match.length;
  }
  sink.Matched(found);
}

// Reports the numbers settled, in order, and lets the rest wait.
void Searcher::State::Report(SearchSink& sink) {
  while (!pending.empty() && Settle(pending.front())) {
    const Match match = pending.front().match;
    // Not before the line after it is at hand as far as it is handed over.
    if (!ending && End() < match.offset + match.length + kContextBytes) break;
    pending.pop_front();
    if (match.confidence >= options.minimum) Hand(sink, match);
  }
}

// Hands the sink the text up to a place, which no match still to come
// touches.
void Searcher::State::Pass(SearchSink& sink, std::uint64_t to) {
  if (to <= passedTo) return;
  sink.Passed(Bytes().substr(static_cast<std::size_t>(passedTo - base),
                             static_cast<std::size_t>(to - passedTo)));
  passedTo = to;
}

// Forgets the text no longer needed: what lies more than the history before
// the first open number and the search's place, once it has been passed on.
void Searcher::State::Trim() {
  const std::size_t keep = static_cast<std::size_t>(std::min(SettledTo(), passedTo) - base);
  if (keep <= kHistoryBytes || keep - kHistoryBytes < buffer.size() / 2) return;
  const std::size_t drop = keep - kHistoryBytes;
  table.FollowTo(Text(), base + drop);
  if (options.places) CountTo(base + drop);
  buffer.Drop(drop);
  ForgetRuns();
  base += drop;
  scan -= drop;
  while (!keywords.empty() && keywords.front().end < base) keywords.pop_front();
}

void Searcher::State::Work(SearchSink& sink) {
  ForgetRuns();  // the text has grown since they were found
  // Numbers are searched for while the first line is still coming; they are
  // reported once it has told whether the text is a table with a SIN column.
  const bool headerRead = table.ReadHeader(Text());
  // As many numbers as wait at most are settled and reported before the
  // search goes on: with the text they stand in at hand, all of them can be
  // but while the first line is coming, and that holds fewer.
  while (SearchNumbers() == Search::Full) {
    const std::size_t waiting = pending.size();
    Report(sink);
    if (pending.size() == waiting) break;
  }
  Report(sink);
  Pass(sink, SettledTo());
  if (headerRead && !borrowed) Trim();
}

// Ends the text: settles and reports everything, passes the rest, and makes
// the state ready for another text, keeping what it has allocated.
void Searcher::State::End(SearchSink& sink) {
  ending = true;
  Work(sink);
  Report(sink);
  Pass(sink, End());
  buffer.clear();
  whole = {};
  borrowed = false;
  base = 0;
  ending = false;
  scan = 0;
  ForgetRuns();
  keywordsTo = 0;
  passedTo = 0;
  keywords.clear();
  pending.clear();
  table = TableColumns();
  places = PlaceCounter();
  countedTo = 0;
}

Searcher::Searcher(const SearchOptions& options) : state_(std::make_unique<State>(options)) {}
Searcher::~Searcher() = default;
Searcher::Searcher(Searcher&& other) noexcept = default;
Searcher& Searcher::operator=(Searcher&& other) noexcept = default;

void Searcher::Search(std::string_view text, SearchSink& sink) {
  State& state = *state_;
  state.whole = text;
  state.borrowed = true;
  state.End(sink);
}

bool Searcher::Search(TextStream& stream, SearchSink& sink) {
  State& state = *state_;
  while (true) {
    const std::size_t got = stream.Read({state.buffer.Room(kSlice), kSlice});
    if (got == 0) break;
    state.buffer.Commit(got);
    state.Work(sink);
  }
  state.End(sink);
  return stream.Failure() == ReadFailure::None;
}

void Searcher::Feed(std::string_view piece, SearchSink& sink) {
  State& state = *state_;
  while (!piece.empty()) {
    const std::size_t size = std::min(piece.size(), kSlice);
    state.buffer.Append(piece.substr(0, size));
    piece.remove_prefix(size);
    state.Work(sink);
  }
}

void Searcher::Finish(SearchSink& sink) {
  state_->End(sink);
}

std::uint64_t Searcher::Settled() const noexcept {
  return state_->SettledTo();
}

void Searcher::SetOptions(const SearchOptions& options) noexcept {
  state_->options = options;
}

std::vector<Match> Find(std::string_view text, Confidence minimum) {
  std::vector<Match> matches;
  Searcher searcher({.minimum = minimum, .places = false});
  searcher.Search(text, [&](const Found& found) { matches.push_back(found.match); });
  return matches;
}

namespace detail {

void SearcherAccess::TakePortableRoutes(Searcher& searcher) {
  searcher.state_->accelerated = false;
}

std::vector<Match> FindPortably(std::string_view text, Confidence minimum) {
  std::vector<Match> matches;
  Searcher searcher({.minimum = minimum, .places = false});
  SearcherAccess::TakePortableRoutes(searcher);
  searcher.Search(text, [&](const Found& found) { matches.push_back(found.match); });
  return matches;
}

}  // namespace detail

}  // namespace mivaro

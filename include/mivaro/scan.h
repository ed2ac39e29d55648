// SPDX-License-Identifier: Apache-2.0
/**
 * @file scan.h
 * @brief Mivaro's C++ API for finding and redacting SINs in free text: logs,
 * e-mails, tickets, JSON and CSV exports.
 *
 * The same rules as the C API's search in mivaro.h. A match is nine ASCII
 * digits, bare or in three groups of three joined twice by one separator,
 * that stand on their own (not part of a longer number, word, decimal, phone
 * or card number) and pass the SIN check. Its confidence says how sure it is
 * a SIN: high near a keyword (SIN, social insurance, NAS, assurance sociale,
 * ...) or in a SIN column of a table, medium when grouped, low when bare or
 * when the first digit is 8 (shared by business and dummy numbers).
 *
 * A Searcher reads a text (whole, fed in pieces, or from a TextStream into
 * its own buffer) and hands each match to a SearchSink with its bytes and
 * where it lies; a Redactor is the sink that writes the text back out with
 * the matches' digits hidden.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mivaro/mivaro.h"
#include "mivaro/sin.h"
#include "mivaro/source.h"

namespace mivaro {

namespace detail {
struct SearcherAccess;
}  // namespace detail

/// How sure a match is a SIN; values as in mivaro.h, so that they compare.
enum class Confidence : int {
  Low = MIVARO_CONFIDENCE_LOW,        ///< bare, or a first digit of 8
  Medium = MIVARO_CONFIDENCE_MEDIUM,  ///< grouped, no keyword near
  High = MIVARO_CONFIDENCE_HIGH,      ///< a keyword near, or in a SIN column
};

/// The confidences by name, in the order of their values.
inline constexpr std::array<std::string_view, 3> kConfidenceNames{"low", "medium", "high"};

/// The least confidence reported unless a caller says otherwise.
inline constexpr auto kDefaultConfidence = static_cast<Confidence>(MIVARO_DEFAULT_CONFIDENCE);

/// Returns a confidence's name ("low", "medium", "high").
constexpr std::string_view ConfidenceName(Confidence confidence) {
  return kConfidenceNames[static_cast<std::size_t>(confidence) - 1];
}

/// Returns the confidence of a name, or nothing for another word and says
/// why in error.
MIVARO_EXPORT std::optional<Confidence> ParseConfidence(std::string_view name, std::string& error);

/// How far a keyword may stand from a number, before or after it, in
/// characters.
inline constexpr std::size_t kKeywordReach = 300;

/// How much of its line a match is handed with, before and after it, in
/// bytes.
inline constexpr std::size_t kContextBytes = 64;

/// Returns the keywords by the names matches give them ("social insurance",
/// "S.I.N.", "NAS", ...), in the order they are tried; each is found in any
/// case and with or without accents, words joined by blanks, hyphens or
/// underscores, but NAS only in capitals.
MIVARO_EXPORT std::span<const std::string_view> KeywordNames() noexcept;

/// The names of a SIN column in English and French, as payroll and HR
/// exports spell them; SinColumnName takes them in any case, accents and
/// punctuation.
inline constexpr std::array<std::string_view, 10> kSinHeaderNames{
    "SIN",
    "SIN Number",
    "SIN No",
    "NAS",
    "Numéro NAS",
    "Social Insurance Number",
    "Social Insurance No",
    "Numéro d'assurance sociale",
    "No d'assurance sociale",
    "N° d'assurance sociale",
};

/// Returns the one of kSinHeaderNames a table's header cell is, in any case,
/// with or without accents, and with blanks, underscores, hyphens,
/// apostrophes, dots and number signs ignored ("S.I.N.", "sin_#"); nothing
/// for any other cell.
MIVARO_EXPORT std::optional<std::string_view> SinColumnName(std::string_view headerCell);

/// The delimiters a table's header row is tried with, in this order: comma,
/// semicolon, tab.
inline constexpr std::array<char, 3> kTableDelimiters{',', ';', '\t'};

/// Splits one row of a table (without its line break) at a delimiter as
/// RFC 4180 reads it strictly: a quoted cell may hold delimiters, line breaks
/// and doubled quotes; nothing when a quote stands out of place.
MIVARO_EXPORT std::optional<std::vector<std::string>> SplitTableRow(std::string_view row,
                                                                    char delimiter);

/// A SIN column that a table's header row names.
struct SinColumn {
  char delimiter = ',';   ///< the delimiter that splits the row so
  std::size_t index = 0;  ///< the cell's place in the row, from 0
  std::string_view name;  ///< the one of kSinHeaderNames the cell is
};

/// Returns the SIN columns a header row names: for each of kTableDelimiters,
/// in order, that splits the row into more than one cell, each cell that
/// names a SIN, in the row's order.
MIVARO_EXPORT std::vector<SinColumn> FindSinColumns(std::string_view headerRow);

/// One SIN found in a text.
struct Match {
  std::uint64_t offset = 0;  ///< where its first digit starts, in bytes from the start
  std::size_t length = 0;    ///< bytes from its first digit to its last, inclusive
  Number number{};           ///< its nine digits
  Confidence confidence = Confidence::Low;  ///< how sure it is a SIN
  /// The keyword or SIN column name that made it high, as the rules name it
  /// ("SIN", "assurance sociale", "Social Insurance Number"); "" otherwise.
  /// Points to static text.
  std::string_view keyword;
};

/// A place in a text counted in each unit callers index text by. Every byte
/// but a UTF-8 continuation byte starts a code point, ill-formed ones too;
/// a character past U+FFFF is two UTF-16 units.
struct TextUnits {
  std::uint64_t bytes = 0;       ///< UTF-8 bytes, as C and Rust index
  std::uint64_t codePoints = 0;  ///< code points, as Python's str and SQL's position() index
  std::uint64_t utf16 = 0;       ///< UTF-16 units, as JavaScript and Java index
};

/// A match as a searcher hands it to a sink.
struct Found {
  Match match;            ///< what it is, and where in bytes
  std::string_view text;  ///< its bytes as written; valid only during the call
  /// The line its first digit is on, from 1 (a line ends with LF); 0 when
  /// the searcher was told not to count places.
  std::uint64_t line = 0;
  TextUnits start;   ///< where its first digit is, from the text's start, from 0
  TextUnits end;     ///< one past its last digit, from the text's start
  TextUnits column;  ///< where its first digit is in its line, from 1
  /// The text on its line just before it and just after it, kContextBytes
  /// at most each (less where the line or the text ends), the same whatever
  /// the text around that; valid only during the call.
  std::string_view before;
  std::string_view after;  ///< see before
};

/// Where a searcher's matches go.
class MIVARO_EXPORT SearchSink {
 public:
  virtual ~SearchSink();
  /// Takes the next match, in the order of the text.
  virtual void Matched(const Found& found) = 0;
  /// Takes the next stretch of the text that no match still to come can
  /// touch; in order, the stretches are the whole text. Does nothing unless
  /// overridden.
  virtual void Passed(std::string_view text);
};

/// What a searcher reports and counts.
struct SearchOptions {
  Confidence minimum = kDefaultConfidence;  ///< the least confidence reported
  /// Whether each match's line, column and start and end in every unit are
  /// counted; without, Found gives bytes only, and text with no match
  /// costs no more than the search.
  bool places = true;
};

/// Finds SINs in a text: whole, fed in pieces of any size, or read from a
/// stream, in memory bounded by the keyword reach: a number or keyword cut
/// between pieces is found as in the whole text. Reports each match once its
/// confidence is settled, in order, without allocating for it.
class MIVARO_EXPORT Searcher {
 public:
  /// Makes a searcher; it allocates nothing until it is given text.
  explicit Searcher(const SearchOptions& options = {});
  ~Searcher();
  /// Takes over another searcher and the text it has read so far.
  Searcher(Searcher&& other) noexcept;
  /// Takes over another searcher and the text it has read so far.
  Searcher& operator=(Searcher&& other) noexcept;
  Searcher(const Searcher&) = delete;
  Searcher& operator=(const Searcher&) = delete;

  /// Searches a whole text held in memory, without copying it, and makes the
  /// searcher ready for another text.
  void Search(std::string_view text, SearchSink& sink);
  /// Reads a stream to its end into the searcher's own buffer, a block at a
  /// time, and searches it; returns false when reading failed (the stream's
  /// Error() says why), after reporting what was read.
  bool Search(TextStream& stream, SearchSink& sink);
  /// Searches the next piece of a text fed in pieces.
  void Feed(std::string_view piece, SearchSink& sink);
  /// Ends a text fed in pieces: reports the matches still open, passes the
  /// rest of the text, and makes the searcher ready for another text.
  void Finish(SearchSink& sink);

  /// Returns how many bytes from the start no match still to come can touch.
  std::uint64_t Settled() const noexcept;

  /// Sets what the searcher reports and counts from the next text on,
  /// keeping what it has allocated: a caller that searches many short texts
  /// keeps one searcher.
  void SetOptions(const SearchOptions& options) noexcept;

  /// Search, with a callable taking each Found as the sink.
  template <typename Each>
  requires std::is_invocable_v<Each&, const Found&>
  void Search(std::string_view text, Each&& each) {
    CallSink<Each> sink(each);
    Search(text, static_cast<SearchSink&>(sink));
  }
  /// Feed, with a callable taking each Found as the sink.
  template <typename Each>
  requires std::is_invocable_v<Each&, const Found&>
  void Feed(std::string_view piece, Each&& each) {
    CallSink<Each> sink(each);
    Feed(piece, static_cast<SearchSink&>(sink));
  }
  /// Finish, with a callable taking each Found as the sink.
  template <typename Each>
  requires std::is_invocable_v<Each&, const Found&>
  void Finish(Each&& each) {
    CallSink<Each> sink(each);
    Finish(static_cast<SearchSink&>(sink));
  }

 private:
  template <typename Each>
  class CallSink final : public SearchSink {
   public:
    explicit CallSink(Each& each) : each_(each) {}
    void Matched(const Found& found) override { each_(found); }

   private:
    Each& each_;
  };

  friend class Redactor;
  friend struct detail::SearcherAccess;
  struct MIVARO_NO_EXPORT State;  // kept out of the interface
  std::unique_ptr<State> state_;
};

/// Returns the matches of at least a confidence in a whole text, in order.
MIVARO_EXPORT std::vector<Match> Find(std::string_view text,
                                      Confidence minimum = kDefaultConfidence);

/// Writes '*' over a match's digits in the bytes of the text it was found
/// in, given from the match's offset: all but the last three, or all nine.
/// Separators and every other byte stay as they are.
MIVARO_EXPORT void RedactDigits(char* matchBytes, std::size_t length, bool allDigits) noexcept;

/// What a redactor hides.
struct RedactOptions {
  Confidence minimum = kDefaultConfidence;  ///< the least confidence redacted
  bool allDigits = false;                   ///< all nine digits, not all but the last three
};

/// Writes a text back out as it streams through, with the digits of every
/// match hidden and every other byte as it was: the same length, offsets and
/// encoding. Holds no more of the text than the searcher must.
class MIVARO_EXPORT Redactor {
 public:
  /// Makes a redactor; it allocates nothing until it is given text.
  explicit Redactor(const RedactOptions& options = {});
  ~Redactor();
  /// Takes over another redactor and the text it holds.
  Redactor(Redactor&&) noexcept;
  /// Takes over another redactor and the text it holds.
  Redactor& operator=(Redactor&&) noexcept;
  Redactor(const Redactor&) = delete;
  Redactor& operator=(const Redactor&) = delete;

  /// Takes the next piece of the text and calls out(text) with what of it
  /// can be written out now, redacted, in order.
  template <typename Out>
  void Feed(std::string_view piece, Out&& out) {
    PassTo<Out> sink(*this, out);
    searcher_.Feed(piece, static_cast<SearchSink&>(sink));
  }
  /// Ends the text: calls out(text) with the rest of it, redacted, and makes
  /// the redactor ready for another text.
  template <typename Out>
  void Finish(Out&& out) {
    PassTo<Out> sink(*this, out);
    searcher_.Finish(static_cast<SearchSink&>(sink));
  }
  /// Reads a stream to its end and calls out(text) with all of it, redacted,
  /// in order; returns false when reading failed (the stream's Error() says
  /// why), after writing out what was read.
  template <typename Out>
  bool Redact(TextStream& stream, Out&& out) {
    PassTo<Out> sink(*this, out);
    return searcher_.Search(stream, static_cast<SearchSink&>(sink));
  }

  /// Redacts a whole text held in memory, in place, and returns how many
  /// matches it redacted. Keeps what it has allocated, so a caller that
  /// redacts many short texts keeps one redactor.
  std::uint64_t RedactInPlace(std::span<char> text);

  /// Sets what the redactor hides from the next text on.
  void SetOptions(const RedactOptions& options) noexcept;

  /// Returns how many matches have been redacted since the redactor was made.
  std::uint64_t Redacted() const noexcept { return redacted_; }

 private:
  // Writes '*' over a match's digits in the searcher's own buffer, which is
  // what the searcher passes on next. Exported for the sinks above, which
  // the caller's code makes.
  void Hide(const Found& found) noexcept;

  template <typename Out>
  class PassTo final : public SearchSink {
   public:
    PassTo(Redactor& redactor, Out& out) : redactor_(redactor), out_(out) {}
    void Matched(const Found& found) override { redactor_.Hide(found); }
    void Passed(std::string_view text) override { out_(text); }

   private:
    Redactor& redactor_;
    Out& out_;
  };

  Searcher searcher_;
  bool allDigits_ = false;
  std::uint64_t redacted_ = 0;
};

/// Returns a text with the matches of at least a confidence redacted: the
/// same length, offsets and bytes but for the hidden digits.
MIVARO_EXPORT std::string Redact(std::string_view text, const RedactOptions& options = {});

/// Returns what a match's fingerprint is made of, hashed: the name of its
/// text as reports give it ("hr.zip!pay.csv"), its place in terms that do
/// not move when lines come or go ("" in plain text, a sheet and column in a
/// workbook), the shape of its number and its line around it with every
/// digit hidden. Never made from its digits, which nine digits' few
/// possibilities would give away.
MIVARO_EXPORT std::uint64_t FingerprintKey(std::string_view name, std::string_view place,
                                           const Found& found);

/// Returns a fingerprint, 16 hexadecimal digits, from a match's key and how
/// many matches of the same key came before it in its text: the same from
/// run to run while the match stays where it is, whatever is added above it.
MIVARO_EXPORT std::string Fingerprint(std::uint64_t key, std::uint64_t occurrence);

}  // namespace mivaro

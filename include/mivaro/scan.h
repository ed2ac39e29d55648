// SPDX-License-Identifier: Apache-2.0
/**
 * @file scan.h
 * @brief Mivaro's C++ API for finding and redacting SINs in free text: logs,
 * e-mails, tickets, JSON and CSV exports.
 *
 * The same rules as the C API's scanner in mivaro.h. A match is nine ASCII
 * digits, bare or in three groups of three joined twice by one separator,
 * that stand on their own (not part of a longer number, word, decimal, phone
 * or card number) and pass the SIN check. Its confidence says how sure it is
 * a SIN: high near a keyword (SIN, social insurance, NAS, assurance sociale,
 * ...) or in a SIN column of a table, medium when grouped, low when bare or
 * when the first digit is 8 (shared by business and dummy numbers).
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mivaro/mivaro.h"
#include "mivaro/sin.h"

namespace mivaro {

/// How sure a match is a SIN; values as in mivaro.h, so that they compare.
enum class Confidence : int {
  Low = MIVARO_CONFIDENCE_LOW,        ///< bare, or a first digit of 8
  Medium = MIVARO_CONFIDENCE_MEDIUM,  ///< grouped, no keyword near
  High = MIVARO_CONFIDENCE_HIGH,      ///< a keyword near, or in a SIN column
};

/// The confidences by name, in the order of their values.
inline constexpr std::array<std::string_view, 3> kConfidenceNames{"low", "medium", "high"};

/// Returns a confidence's name ("low", "medium", "high").
constexpr std::string_view ConfidenceName(Confidence confidence) {
  return kConfidenceNames[static_cast<std::size_t>(confidence) - 1];
}

/// Returns the confidence of a name, or nothing for another word.
constexpr std::optional<Confidence> ParseConfidence(std::string_view name) {
  for (std::size_t i = 0; i < kConfidenceNames.size(); ++i) {
    if (kConfidenceNames[i] == name) return static_cast<Confidence>(i + 1);
  }
  return std::nullopt;
}

/// How far a keyword may stand from a number, before or after it, in
/// characters.
inline constexpr std::size_t kKeywordReach = 300;

/// The names of a SIN column in English and French, as payroll and HR
/// exports spell them; NamesSinColumn takes them in any case, accents and
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

/// Finds SINs in a text fed in pieces of any size, in memory bounded by the
/// keyword reach: a number or keyword cut between pieces is found as in the
/// whole text. Reports each match once its confidence is settled, in order,
/// without allocating for it.
class Scanner {
 public:
  /// Where matches go: called with each match and the context given.
  using Sink = void (*)(const Match& match, void* context);

  /// Makes a scanner that reports matches of at least this confidence.
  MIVARO_EXPORT explicit Scanner(Confidence minimum = Confidence::Medium);
  MIVARO_EXPORT ~Scanner();
  /// Takes over another scanner and the text it has read so far.
  MIVARO_EXPORT Scanner(Scanner&& other) noexcept;
  /// Takes over another scanner and the text it has read so far.
  MIVARO_EXPORT Scanner& operator=(Scanner&& other) noexcept;

  /// Scans the next piece of text and calls each(match) for every match
  /// settled by now.
  template <typename Each>
  void Feed(std::string_view piece, Each&& each) {
    FeedTo(piece, &CallEach<Each>, const_cast<void*>(static_cast<const void*>(&each)));
  }
  /// Ends the text: calls each(match) for the matches still open, and makes
  /// the scanner ready for a new text.
  template <typename Each>
  void Finish(Each&& each) {
    FinishTo(&CallEach<Each>, const_cast<void*>(static_cast<const void*>(&each)));
  }

  /// Feed, for a sink that is a plain function.
  MIVARO_EXPORT void FeedTo(std::string_view piece, Sink sink, void* context);
  /// Finish, for a sink that is a plain function.
  MIVARO_EXPORT void FinishTo(Sink sink, void* context);

  /// Returns how many bytes from the start no match still to come can touch:
  /// what a redacting writer may pass on.
  MIVARO_EXPORT std::uint64_t Settled() const noexcept;

 private:
  struct State;  // kept out of the interface

  template <typename Each>
  static void CallEach(const Match& match, void* each) {
    (*static_cast<std::remove_reference_t<Each>*>(each))(match);  // constness restored
  }

  std::unique_ptr<State> state_;
};

/// Returns the matches of at least a confidence in a whole text, in order.
MIVARO_EXPORT std::vector<Match> Find(std::string_view text,
                                      Confidence minimum = Confidence::Medium);

/// Writes '*' over a match's digits in the bytes of the text it was found
/// in, given from the match's offset: all but the last three, or all nine.
/// Separators and every other byte stay as they are.
MIVARO_EXPORT void RedactDigits(char* matchBytes, std::size_t length, bool allDigits) noexcept;

/// Returns a text with the matches of at least a confidence redacted: the
/// same length, offsets and bytes but for the hidden digits.
MIVARO_EXPORT std::string Redact(std::string_view text, Confidence minimum = Confidence::Medium,
                                 bool allDigits = false);

}  // namespace mivaro

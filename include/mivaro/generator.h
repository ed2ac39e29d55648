// SPDX-License-Identifier: Apache-2.0
/**
 * @file generator.h
 * @brief Reproducible SINs for test data: valid ones, or ones that fail on
 * purpose.
 */
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mivaro/sin.h"

namespace mivaro {

/// How a generated number fails a check, for negative tests.
enum class InvalidKind {
  Checksum,  ///< nine digits, correctly formed, whose check fails
  Length,    ///< eight or ten digits
  Letters,   ///< nine characters, one of them a letter
  Grouping,  ///< nine digits with spaces or hyphens in the wrong places
  Zeros,     ///< 000 000 000, the placeholder for a missing SIN
};

/// The kinds by name, in the order mivaro-cli lists them.
inline constexpr std::array<std::pair<std::string_view, InvalidKind>, 5> kInvalidKinds{{
    {"checksum", InvalidKind::Checksum},
    {"length", InvalidKind::Length},
    {"letters", InvalidKind::Letters},
    {"grouping", InvalidKind::Grouping},
    {"zeros", InvalidKind::Zeros},
}};

/// What a Generator draws; the options of `mivaro-cli generate`.
struct GeneratorOptions {
  unsigned regions = 0;              ///< MIVARO_REGION_* bits, as --region; 0: none
  std::optional<int> firstDigit;     ///< 0-9, as --first-digit
  bool zeroToNine = false;           ///< positions 2-9 from 0-9 (--digits 0-9), else 1-9
  bool unique = false;               ///< no number twice (--unique)
  std::uint64_t seed = 0;            ///< always used: pass a random one for fresh numbers
  std::vector<InvalidKind> invalid;  ///< kinds of numbers that fail (--invalid); none: valid
  Style style = Style::Bare;         ///< how text is written (--format)
};

/// The most numbers one run draws, in every front end: mivaro-cli
/// generate's --count, Python's and SQL's count.
inline constexpr std::uint64_t kMostGenerated = MIVARO_MOST_GENERATED;

/// Draws SINs, every one the options allow equally likely, reproducibly: the
/// same options and seed give the same numbers on every machine and in every
/// release, the numbers `mivaro-cli generate` prints.
class MIVARO_EXPORT Generator {
 public:
  /// Makes a generator, or returns nothing for options it refuses (regions
  /// and a first digit together, a first digit out of 0-9, unique with
  /// invalid kinds) and says why in error.
  static std::optional<Generator> Create(const GeneratorOptions& options, std::string& error);
  ~Generator();
  /// Moves a generator; the one moved from can only be destroyed or assigned.
  Generator(Generator&&) noexcept;
  /// Moves a generator into this one.
  Generator& operator=(Generator&&) noexcept;
  Generator(const Generator&) = delete;
  Generator& operator=(const Generator&) = delete;

  /// Returns how many distinct valid numbers the options allow.
  std::uint64_t Distinct() const noexcept;

  /// Returns whether a run of count numbers can be drawn: false, saying why
  /// in error, when a unique generator has fewer distinct numbers.
  bool Gives(std::uint64_t count, std::string& error) const;

  /// Writes the next valid number; returns false when a unique generator has
  /// given all of them. Not for a generator of invalid kinds.
  bool Next(Number& number);

  /// Replaces text with the next number as written: a valid one in the
  /// style, or with invalid kinds one that fails. Returns false when a unique
  /// generator has given every number.
  bool Next(std::string& text);

 private:
  MIVARO_NO_EXPORT Generator();

  struct MIVARO_NO_EXPORT State;
  std::unique_ptr<State> state_;
};

/// Reads a comma-separated list of invalid kinds' names; on failure returns
/// nothing and says why in error.
MIVARO_EXPORT std::optional<std::vector<InvalidKind>> ParseInvalidKinds(std::string_view list,
                                                                        std::string& error);

/// Reads a comma-separated list of region captions (any case, blanks around
/// allowed) into MIVARO_REGION_* bits; on failure returns nothing and says
/// why in error.
MIVARO_EXPORT std::optional<unsigned> ParseRegions(std::string_view list, std::string& error);

}  // namespace mivaro

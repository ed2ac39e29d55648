// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/fast_generator.h"

namespace mivaro::cli {

// How a generated number fails validate, for negative tests.
enum class InvalidKind {
  Checksum,  // nine digits, correctly formed, whose check fails
  Length,    // eight or ten digits
  Letters,   // nine characters, one of them a letter
  Grouping,  // nine digits with spaces or hyphens in the wrong places
  Zeros,     // 000 000 000, the placeholder for a missing SIN
};

// The kinds by name, in the order --help lists them.
inline constexpr std::array<std::pair<std::string_view, InvalidKind>, 5> kInvalidKinds{{
    {"checksum", InvalidKind::Checksum},
    {"length", InvalidKind::Length},
    {"letters", InvalidKind::Letters},
    {"grouping", InvalidKind::Grouping},
    {"zeros", InvalidKind::Zeros},
}};

// The kind names, for --help and the manual page: "checksum, length, ...".
std::string InvalidKindList();

// Reads a comma-separated list of kind names; on failure returns nothing and
// says why in error.
std::optional<std::vector<InvalidKind>> ParseInvalidKinds(std::string_view list,
                                                          std::string& error);

// Draws numbers that fail validate, each of a kind drawn from the list,
// reproducibly from the seed. The checksum kind is uniform over the nine-digit
// numbers whose check fails; the others start from a valid number and break
// it one way, so each fails for one reason only. Where the kind allows, the
// number starts with a digit of the rule (when keepFirst, the letter never
// takes the first place either).
class InvalidGenerator {
 public:
  InvalidGenerator(const FirstDigitRule& rule, bool keepFirst, std::uint64_t seed, DigitRange range,
                   std::vector<InvalidKind> kinds, NumberStyle style);

  // Replaces out with the next number's text.
  void Next(std::string& out);

 private:
  std::uint32_t Below(std::uint32_t bound) { return valid_.Below(bound); }
  char DrawDigit();

  FirstDigitRule rule_;
  bool keepFirst_;
  DigitRange range_;
  std::vector<InvalidKind> kinds_;
  NumberStyle style_;
  FastGenerator valid_;  // the valid numbers the kinds break, and every random value
};

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <string_view>

namespace mivaro {

// How a typed entry stands before anything is evaluated.
enum class EntryKind {
  WellFormed,     // exactly nine ASCII digits
  TooLong,        // more than nine characters
  NotDigitsOnly,  // nine or fewer characters, one of them not 0-9
  TooShort,       // fewer than nine ASCII digits, the empty entry included
};

// Classifies a raw UTF-8 entry the way every front end refuses bad input: too
// long first, then any character other than 0-9 (Unicode digits of other
// scripts included), then too short.
EntryKind ClassifyEntry(std::string_view utf8Entry);

}  // namespace mivaro

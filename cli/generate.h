// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/fast_generator.h"
#include "cli/invalid_generator.h"
#include "cli/records.h"
#include "core/regions.h"

namespace mivaro::cli {

struct GenerateOptions {
  std::optional<RegionFlags> regions;
  std::optional<int> firstDigit;
  std::uint64_t count = 1;
  std::optional<std::uint64_t> seed;  // none: from the clock and the system
  NumberStyle style = NumberStyle::Bare;
  std::optional<Format> records;              // JSON or CSV records instead of bare numbers
  DigitRange digits = DigitRange::OneToNine;  // of positions 2 to 9
  bool unique = false;                        // no number twice
  std::vector<InvalidKind> invalid;           // none: valid numbers
};

// Writes count numbers: valid ones, or with invalid kinds numbers that fail.
// Returns the exit status; with unique, refuses (status 2, nothing written)
// a count larger than the distinct valid numbers the options allow.
int RunGenerate(const GenerateOptions& options, std::FILE* out, std::FILE* err);

// Texts for --help and the manual page, derived from the region table so that
// a change to a region is made in one place:
//   the captions of the thirteen boxes, in box order ("AB, BC, ...");
std::string RegionCaptionList();
//   the groups in the order --region applies them ("NB/PEI/NF/NS, QC, ...");
std::string RegionPriorityList();
//   the first digits of the series with their names ("0 foreign/tax, ...").
std::string SeriesDigitList();

// Reads a comma-separated list of region captions (AB, BC, ... in any case,
// blanks around them allowed) into flags; on failure returns nothing and
// says why in error.
std::optional<RegionFlags> ParseRegionList(std::string_view list, std::string& error);

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/generator.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/records.h"

namespace mivaro::cli {

struct GenerateOptions {
  GeneratorOptions drawn;  // what is drawn; its seed is the one below
  std::uint64_t count = 1;
  std::optional<std::uint64_t> seed;    // none: from the clock and the system
  std::optional<RecordFormat> records;  // JSON or CSV records instead of bare numbers
};

// Writes count numbers: valid ones, or with invalid kinds numbers that fail.
// Returns the exit status; with unique, refuses (status 2, nothing written)
// a count larger than the distinct valid numbers the options allow.
int RunGenerate(const GenerateOptions& options, std::FILE* out, std::FILE* err);

// Texts for --help and the manual page, derived from the library's tables so
// that a change to a region is made in one place:
//   the captions of the thirteen regions, in box order ("AB, BC, ...");
std::string RegionCaptionList();
//   the groups in the order --region applies them ("NB/PEI/NF/NS, QC, ...");
std::string RegionPriorityList();
//   the first digits of the series with their names ("0 foreign/tax, ...");
std::string SeriesDigitList();
//   the invalid kinds' names ("checksum, length, ...").
std::string InvalidKindList();

}  // namespace mivaro::cli

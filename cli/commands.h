// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/fast_generator.h"
#include "cli/invalid_generator.h"
#include "cli/records.h"
#include "cli/report.h"
#include "core/regions.h"

namespace mivaro::cli {

struct ValidateOptions {
  std::vector<std::string> numbers;  // none: read standard input
  Format format = Format::Text;
  bool summary = false;
  bool mask = false;  // show no more of a SIN than its last three digits
};

// Checks every entry and writes one record for each, in order; entries come
// from the options or, when there are none, one a line from inputFd (LF or
// CR LF, the last line with or without its newline). Returns the exit status.
int RunValidate(const ValidateOptions& options, int inputFd, std::FILE* out, std::FILE* err);

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

// How much input the bulk commands read at a time.
inline constexpr std::size_t kReadBlock = std::size_t{64} * 1024;

// Reads up to block.size() bytes from fd, again when a signal interrupts the
// read. Returns how many, 0 at the end of the input, or -1 with errno set.
long ReadBlock(int fd, std::span<char> block);

// Reads a decimal whole number from min to max (leading zeros allowed; no
// sign, blanks or other bases); on failure returns nothing and says why in
// error.
std::optional<std::uint64_t> ParseWholeNumber(std::string_view text, std::uint64_t min,
                                              std::uint64_t max, std::string& error);

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

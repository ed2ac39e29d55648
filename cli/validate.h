// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/records.h"

namespace mivaro::cli {

struct ValidateOptions {
  std::vector<std::string> numbers;  // none: read standard input
  RecordFormat format = RecordFormat::Text;
  bool summary = false;
  bool mask = false;                    // show no more of a SIN than its last three digits
  std::optional<std::string> encoding;  // of standard input; none: UTF-8, or as a mark says
};

// Checks every entry and writes one record for each, in order; entries come
// from the options or, when there are none, one a line from inputFd (LF or
// CR LF, the last line with or without its newline). Returns the exit status.
int RunValidate(const ValidateOptions& options, int inputFd, std::FILE* out, std::FILE* err);

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/scan.h>

#include <cstdio>
#include <optional>
#include <string>

namespace mivaro::cli {

struct RedactOptions {
  Confidence minimum = kDefaultConfidence;
  bool allDigits = false;               // hide all nine digits, not all but the last three
  std::optional<std::string> encoding;  // of the input; none: UTF-8, or as a mark says
};

// Writes the text read from inputFd to out with the digits of its SINs
// written over, in the input's encoding, and says how many on err. Returns 0,
// or 2 for binary input, unreadable input or output that cannot be written.
int RunRedact(const RedactOptions& options, int inputFd, std::FILE* out, std::FILE* err);

}  // namespace mivaro::cli

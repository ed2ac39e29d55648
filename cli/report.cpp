// SPDX-License-Identifier: Apache-2.0
#include "cli/report.h"

#include <cerrno>
#include <cstring>

#include "cli/escape.h"
#include "cli/text_buffer.h"

namespace mivaro::cli {

void Report(std::FILE* err, std::string_view message) {
  TextBuffer line;
  line += "mivaro-cli: ";
  AppendEscaped(line, message);
  line += '\n';
  std::fwrite(line.View().data(), 1, line.size(), err);
}

int ReportWriteFailure(std::FILE* err, int error, std::string_view what) {
  if (error != EPIPE) Report(err, "cannot write {}: {}", what, std::strerror(error));
  return kExitFailure;
}

}  // namespace mivaro::cli

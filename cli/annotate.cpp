// SPDX-License-Identifier: Apache-2.0
// mivaro-cli annotate: the SIN column of a CSV table checked in place.
#include <limits>
#include <string>

#include "cli/annotator.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

std::string Description() {
  return "Check the SIN column of a CSV table: every row and cell is written as read, with five "
         "cells appended: " +
         AnnotateCellList() + ". The SIN column is the header cell named " + SinHeaderNameList() +
         " (in any case, accents, blanks, _ - ' . and # ignored), or the one --column names. "
         "Reads FILE, or standard input when FILE is absent or -. Quotes follow RFC 4180: a "
         "quote out of place or never closed stops the run, after the rows before it, with "
         "status 2.";
}

// --column NAME or --column N: a header cell's name, or its number from 1.
std::optional<ColumnRequest> ParseColumn(std::string_view text, std::string& error) {
  ColumnRequest request;
  const bool number = !text.empty() && std::all_of(text.begin(), text.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
  if (!number) {
    request.name = std::string(text);
    return request;
  }
  const auto value = ParseWholeNumber(text, 1, std::numeric_limits<std::size_t>::max(), error);
  if (!value) return std::nullopt;
  request.number = static_cast<std::size_t>(*value);
  return request;
}

class Annotate final : public Command {
 public:
  explicit Annotate(CLI::App& app) : Command(app.add_subcommand("annotate", Description())) {
    command_->add_option("FILE", file_, "The CSV table (default: standard input)");
    AddParsedOption(command_, "--column", options_.column, ParseColumn,
                    "The SIN column: a header cell (compared ignoring case) or its number, "
                    "counted from 1")
        ->type_name("NAME|N");
    command_->add_flag("--no-header", options_.noHeader,
                       "The first row is data; --column must then be a number");
    AddParsedOption(command_, "--delimiter", options_.delimiter, ParseDelimiter,
                    "The character between cells, for input and output: one character, or tab "
                    "(default: a first line sep=C, else whichever of , ; and tab the header "
                    "names a SIN with)")
        ->type_name("C");
    command_->add_flag("--summary", options_.summary,
                       "Write the counts of valid, invalid and malformed SINs to standard error");
    command_->add_flag(
        "--mask", options_.mask,
        "Show no more of a SIN than its last three digits, in the SIN cells and sin_number");
    AddWholeNumberOption(command_, "--max-row-bytes", options_.maxRowBytes, 1,
                         std::numeric_limits<std::size_t>::max(),
                         "Stop, with status 2, at a row longer than this (default: " +
                             std::to_string(kDefaultMaxRowBytes) + ", 64 MiB)");
    AddWholeNumberOption(command_, "--skip-rows", options_.skipRows, 0,
                         std::numeric_limits<std::size_t>::max(),
                         "Copy this many lines above the header through as they are");
    AddStyleOption(command_, options_.style,
                   "How sin_number is written: bare, spaced, dashed (default: bare)");
    AddOutputOption(command_, output_);
    AddEncodingOption(command_, options_.encoding);
  }

  int Run() override {
    return RunFileToOutput(file_, output_, [this](int input, std::FILE* out) {
      return RunAnnotate(options_, input, out, stderr);
    });
  }

 private:
  AnnotateOptions options_;
  std::string file_ = "-";
  std::optional<std::string> output_;
};

}  // namespace

std::unique_ptr<Command> AddAnnotate(CLI::App& app) {
  return std::make_unique<Annotate>(app);
}

}  // namespace mivaro::cli

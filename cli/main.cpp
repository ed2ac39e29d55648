// SPDX-License-Identifier: Apache-2.0
// mivaro-cli: Mivaro's number rules on the command line, for scripts, data
// cleaning and test fixtures.
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>

#include "cli/annotate.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "core/version.h"

namespace {

constexpr char kDescription[] =
    "Validate and generate Canadian Social Insurance Numbers (SINs), and check the SIN column "
    "of CSV tables.\n"
    "Exit status: 0 when every entry is valid, 1 when any is invalid or malformed, "
    "2 for a usage error, unreadable input, unwritable output or a broken table.";

// The mutually exclusive --json and --csv flags of one command.
struct RecordFormatFlags {
  bool json = false;
  bool csv = false;

  void AddTo(CLI::App* command, const std::string& jsonHelp, const std::string& csvHelp) {
    CLI::Option* jsonFlag = command->add_flag("--json", json, jsonHelp);
    command->add_flag("--csv", csv, csvHelp)->excludes(jsonFlag);
  }

  std::optional<mivaro::cli::Format> Chosen() const {
    if (json) return mivaro::cli::Format::Json;
    if (csv) return mivaro::cli::Format::Csv;
    return std::nullopt;
  }
};

// Writes what --help or --version asked for to standard output; a refused
// write is status 2, as for results.
int PrintHelpOrVersion(const CLI::App& app, const CLI::ParseError& request) {
  std::ostringstream text;
  std::ostringstream ignored;
  app.exit(request, text, ignored);
  const std::string shown = text.str();
  if (std::fwrite(shown.data(), 1, shown.size(), stdout) != shown.size() ||
      std::fflush(stdout) != 0) {
    const bool version = dynamic_cast<const CLI::CallForVersion*>(&request) != nullptr;
    return mivaro::cli::ReportWriteFailure(stderr, errno, version ? "the version" : "the help");
  }
  return mivaro::cli::kExitAllValid;
}

int Main(int argc, char** argv) {
  CLI::App app(kDescription, "mivaro-cli");
  app.set_version_flag("--version", std::string(mivaro::kAppVersion));
  app.require_subcommand(1);

  mivaro::cli::ValidateOptions validate;
  RecordFormatFlags validateFormat;
  CLI::App* validateCommand = app.add_subcommand(
      "validate",
      "Check SINs given as arguments or, with none, one a line on standard input. A SIN is "
      "nine digits, bare or grouped as 123 456 782 or 123-456-782; blanks around it are "
      "ignored. Writes one record per entry, in order.");
  validateCommand->add_option("NUMBER", validate.numbers, "SINs to check");
  validateFormat.AddTo(validateCommand, "JSON Lines: one object per entry",
                       "CSV (RFC 4180) with a header row of the same fields as --json");
  validateCommand->add_flag("--summary", validate.summary,
                            "Add the counts of valid, invalid and malformed entries at the end "
                            "(with --csv, on standard error)");
  validateCommand->add_flag("--mask", validate.mask,
                            "Show no more of a SIN than its last three digits, in entries and "
                            "numbers; leave out the check values");

  mivaro::cli::AnnotateOptions annotate;
  std::string annotateFile = "-";
  std::string delimiterText = ",";
  CLI::App* annotateCommand = app.add_subcommand(
      "annotate",
      "Check the SIN column of a CSV table: every row and cell is written as read, with five "
      "cells appended: " +
          std::string(mivaro::cli::kAnnotateHeader) + ". The SIN column is the header cell named " +
          mivaro::cli::SinHeaderNameList() +
          " (in any case, accents, blanks, _ - ' . and # ignored), or the one --column names. "
          "Reads FILE, or standard input when FILE is absent or -. Quotes follow RFC 4180: a "
          "quote out of place or never closed stops the run, after the rows before it, with "
          "status 2.");
  annotateCommand->add_option("FILE", annotateFile, "The CSV table (default: standard input)");
  annotateCommand
      ->add_option("--column", annotate.column,
                   "The SIN column: a header cell (compared ignoring case) or its number, "
                   "counted from 1")
      ->type_name("NAME|N");
  annotateCommand->add_flag("--no-header", annotate.noHeader,
                            "The first row is data; --column must then be a number");
  annotateCommand
      ->add_option("--delimiter", delimiterText,
                   "The character between cells, for input and output: one character, or tab "
                   "(default: ,)")
      ->type_name("C");
  annotateCommand->add_flag("--summary", annotate.summary,
                            "Write the counts of valid, invalid and malformed SINs to standard "
                            "error");
  annotateCommand->add_flag(
      "--mask", annotate.mask,
      "Show no more of a SIN than its last three digits, in the SIN cells and sin_number");
  std::string maxRowText;
  CLI::Option* maxRowOption =
      annotateCommand
          ->add_option("--max-row-bytes", maxRowText,
                       "Stop, with status 2, at a row longer than this (default: " +
                           std::to_string(mivaro::cli::kDefaultMaxRowBytes) + ", 64 MiB)")
          ->type_name("N");

  mivaro::cli::GenerateOptions generate;
  std::string regionList;
  std::string style = "bare";
  RecordFormatFlags generateFormat;
  CLI::App* generateCommand = app.add_subcommand(
      "generate",
      "Print valid SINs, one a line. With --region the first digit follows the first listed "
      "region in the order " +
          mivaro::cli::RegionPriorityList() +
          "; --first-digit asks for one first digit, 0 included; with neither, the first digit "
          "is any of 1-9. The other digits are 1-9, or 0-9 with --digits 0-9. The same --seed "
          "and options print the same numbers on every run and machine.");
  CLI::Option* region = generateCommand->add_option(
      "--region", regionList,
      "Comma-separated region captions: " + mivaro::cli::RegionCaptionList());
  // Numbers are read as text and parsed by ParseWholeNumber: CLI11 would
  // read "010" as octal, wrap "-1" and saturate values past 2^64 - 1.
  std::string firstDigitText;
  CLI::Option* firstDigit =
      generateCommand
          ->add_option("--first-digit", firstDigitText,
                       "The first digit, 0-9 (" + mivaro::cli::SeriesDigitList() + ")")
          ->type_name("DIGIT");
  region->excludes(firstDigit);
  std::string countText;
  CLI::Option* countOption =
      generateCommand->add_option("--count", countText, "How many numbers, up to 100 million")
          ->type_name("N");
  std::string seedText;
  CLI::Option* seedOption =
      generateCommand
          ->add_option(
              "--seed", seedText,
              "Seed for reproducible output, 0 to 18446744073709551615 (default: from the clock)")
          ->type_name("N");
  generateCommand->add_option("--format", style, "How numbers are written: bare, spaced, dashed")
      ->check(CLI::IsMember({"bare", "spaced", "dashed"}));
  std::string digitsText = "1-9";
  generateCommand
      ->add_option("--digits", digitsText,
                   "The digits of positions 2 to 9: 1-9 as the window draws them, or 0-9 as "
                   "issued numbers have them (default: 1-9)")
      ->check(CLI::IsMember({"1-9", "0-9"}));
  generateCommand->add_flag("--unique", generate.unique,
                            "No number twice in one run; a --count larger than the distinct "
                            "numbers the options allow is refused");
  std::string invalidText;
  CLI::Option* invalidOption =
      generateCommand
          ->add_option("--invalid", invalidText,
                       "Print numbers that fail validate, each of a kind drawn from the list: " +
                           mivaro::cli::InvalidKindList() +
                           ". --format applies to checksum and zeros")
          ->type_name("KIND[,KIND...]");
  invalidOption->excludes(generateCommand->get_option("--unique"));
  generateFormat.AddTo(generateCommand, "Print each number's JSON record",
                       "Print each number's CSV record");

  // Reads a numeric option given on the command line, or leaves target as it is.
  const auto readNumber = [](CLI::Option* option, const std::string& text, std::uint64_t min,
                             std::uint64_t max, auto& target) {
    if (option->count() == 0) return;
    std::string error;
    const std::optional<std::uint64_t> value = mivaro::cli::ParseWholeNumber(text, min, max, error);
    if (!value) throw CLI::ValidationError(option->get_name(), error);
    target = static_cast<std::remove_reference_t<decltype(*&target)>>(*value);
  };

  try {
    app.parse(argc, argv);
    readNumber(firstDigit, firstDigitText, 0, 9, generate.firstDigit);
    readNumber(countOption, countText, 1, 100'000'000, generate.count);
    readNumber(seedOption, seedText, 0, std::numeric_limits<std::uint64_t>::max(), generate.seed);
    readNumber(maxRowOption, maxRowText, 1, std::numeric_limits<std::size_t>::max(),
               annotate.maxRowBytes);
    if (annotateCommand->parsed()) {
      std::string error;
      const std::optional<char> delimiter = mivaro::cli::ParseDelimiter(delimiterText, error);
      if (!delimiter) throw CLI::ValidationError("--delimiter", error);
      annotate.delimiter = *delimiter;
    }
    if (invalidOption->count() > 0) {
      std::string error;
      auto kinds = mivaro::cli::ParseInvalidKinds(invalidText, error);
      if (!kinds) throw CLI::ValidationError("--invalid", error);
      generate.invalid = std::move(*kinds);
    }
    if (region->count() > 0) {
      std::string error;
      generate.regions = mivaro::cli::ParseRegionList(regionList, error);
      if (!generate.regions) throw CLI::ValidationError("--region", error);
    }
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return PrintHelpOrVersion(app, error);
    const bool unknownCommand = argc > 1 && argv[1][0] != '-' && app.get_subcommands().empty();
    if (unknownCommand) {
      mivaro::cli::Report(stderr, "unknown command '{}' (expected validate, annotate or generate)",
                          argv[1]);
    } else {
      mivaro::cli::Report(stderr, "{} (see mivaro-cli --help)", error.what());
    }
    return mivaro::cli::kExitFailure;
  }

  if (annotateCommand->parsed()) {
    int input = STDIN_FILENO;
    if (annotateFile != "-") {
      input = open(annotateFile.c_str(), O_RDONLY | O_CLOEXEC);
      if (input < 0) {
        mivaro::cli::Report(stderr, "cannot open {}: {}", annotateFile, std::strerror(errno));
        return mivaro::cli::kExitFailure;
      }
    }
    const int status = mivaro::cli::RunAnnotate(annotate, input, stdout, stderr);
    if (input != STDIN_FILENO) close(input);
    return status;
  }
  if (validateCommand->parsed()) {
    validate.format = validateFormat.Chosen().value_or(mivaro::cli::Format::Text);
    return mivaro::cli::RunValidate(validate, STDIN_FILENO, stdout, stderr);
  }
  generate.style = style == "spaced"   ? mivaro::cli::NumberStyle::Spaced
                   : style == "dashed" ? mivaro::cli::NumberStyle::Dashed
                                       : mivaro::cli::NumberStyle::Bare;
  generate.records = generateFormat.Chosen();
  generate.digits = digitsText == "0-9" ? mivaro::cli::DigitRange::ZeroToNine
                                        : mivaro::cli::DigitRange::OneToNine;
  return mivaro::cli::RunGenerate(generate, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
  // Whatever goes wrong, the user gets one line and status 2, never an abort
  // or a bare exception name.
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    mivaro::cli::Report(stderr, "out of memory");
  } catch (const std::exception& error) {
    mivaro::cli::Report(stderr, error.what());
  } catch (...) {
    mivaro::cli::Report(stderr, "unexpected error");
  }
  return mivaro::cli::kExitFailure;
}

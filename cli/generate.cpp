// SPDX-License-Identifier: Apache-2.0
// mivaro-cli generate: valid numbers, or numbers that fail on purpose, for
// test data.
#include "cli/generate.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <random>

#include "cli/command.h"
#include "cli/entry_parser.h"
#include "cli/options.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

// "100 million" for 100000000, as --help says a count.
std::string CountInWords(std::uint64_t count) {
  return count % 1'000'000 == 0 ? fmt::format("{} million", count / 1'000'000)
                                : fmt::format("{}", count);
}

std::uint64_t SeedFromSystem() {
  std::random_device device;
  const auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return (std::uint64_t{device()} << 32U) ^ device() ^ now;
}

class Generate final : public Command {
 public:
  explicit Generate(CLI::App& app)
      : Command(app.add_subcommand(
            "generate",
            "Print valid SINs, one a line. With --region the first digit follows the first listed "
            "region in the order " +
                RegionPriorityList() +
                "; --first-digit asks for one first digit, 0 included; with neither, the first "
                "digit is any of 1-9. The other digits are 1-9, or 0-9 with --digits 0-9. The "
                "same --seed and options print the same numbers on every run and machine.")) {
    CLI::Option* region =
        AddParsedOption(command_, "--region", options_.drawn.regions, ParseRegions,
                        "Comma-separated region captions: " + RegionCaptionList());
    CLI::Option* firstDigit =
        AddWholeNumberOption(command_, "--first-digit", options_.drawn.firstDigit, 0, 9,
                             "The first digit, 0-9 (" + SeriesDigitList() + ")")
            ->type_name("DIGIT");
    region->excludes(firstDigit);
    AddWholeNumberOption(command_, "--count", options_.count, 1, kMostGenerated,
                         "How many numbers, up to " + CountInWords(kMostGenerated));
    AddWholeNumberOption(
        command_, "--seed", options_.seed, 0, std::numeric_limits<std::uint64_t>::max(),
        "Seed for reproducible output, 0 to 18446744073709551615 (default: from the clock)");
    AddStyleOption(command_, options_.drawn.style, "How numbers are written: bare, spaced, dashed");
    command_
        ->add_option("--digits", digits_,
                     "The digits of positions 2 to 9: 1-9 as the window draws them, or 0-9 as "
                     "issued numbers have them (default: 1-9)")
        ->check(CLI::IsMember({"1-9", "0-9"}));
    CLI::Option* unique = command_->add_flag(
        "--unique", options_.drawn.unique,
        "No number twice in one run; a --count larger than the distinct numbers the options "
        "allow is refused");
    AddParsedOption(command_, "--invalid", options_.drawn.invalid, ParseInvalidKinds,
                    "Print numbers that fail validate, each of a kind drawn from the list: " +
                        InvalidKindList() + ". --format applies to checksum and zeros")
        ->type_name("KIND[,KIND...]")
        ->excludes(unique);
    format_.AddTo(command_, "Print each number's JSON record", "Print each number's CSV record");
  }

  int Run() override {
    options_.records = format_.Chosen();
    options_.drawn.zeroToNine = digits_ == "0-9";
    return RunGenerate(options_, stdout, stderr);
  }

 private:
  GenerateOptions options_;
  std::string digits_ = "1-9";
  RecordFormatFlags format_;
};

}  // namespace

std::unique_ptr<Command> AddGenerate(CLI::App& app) {
  return std::make_unique<Generate>(app);
}

int RunGenerate(const GenerateOptions& options, std::FILE* out, std::FILE* err) {
  GeneratorOptions drawn = options.drawn;
  drawn.seed = options.seed.value_or(SeedFromSystem());
  std::string refusal;
  std::optional<Generator> generator = Generator::Create(drawn, refusal);
  if (!generator) {
    Report(err, refusal);
    return kExitFailure;
  }
  // The library names the count as every front end does; here it is --count.
  if (!generator->Gives(options.count, refusal)) {
    Report(err, "--{}", refusal);
    return kExitFailure;
  }

  std::unique_ptr<RecordWriter> writer;
  std::unique_ptr<BufferedOutput> plain;
  if (options.records) {
    writer = RecordWriter::Create(*options.records, out, err);
    writer->Header();
  } else {
    plain = std::make_unique<BufferedOutput>(out);
  }
  BufferedOutput& output = writer ? static_cast<BufferedOutput&>(*writer) : *plain;

  const bool bulk = !writer && drawn.invalid.empty() && drawn.style == Style::Bare;
  Number number{};
  std::string text;
  for (std::uint64_t i = 0; i < options.count && output.Ok(); ++i) {
    if (bulk) {
      // The bulk path: nine digits straight into the output, no record.
      generator->Next(number);
      TextBuffer& buffer = output.Buffer();
      buffer.Append(number.data(), number.size());
      buffer += '\n';
      output.MaybeFlush();
      continue;
    }
    generator->Next(text);
    if (writer) {
      const ParsedEntry entry = ParseEntry(text);
      writer->Write(RecordOf(entry));
    } else {
      TextBuffer& buffer = output.Buffer();
      buffer += text;
      buffer += '\n';
      output.MaybeFlush();
    }
  }

  if (!output.Flush()) return ReportWriteFailure(err, output.Error(), "the numbers");
  return kExitAllValid;
}

std::string RegionCaptionList() {
  std::string list;
  for (const Region& box : kRegions) {
    if (!list.empty()) list += ", ";
    list += box.caption;
  }
  return list;
}

std::string RegionPriorityList() {
  std::string list;
  for (const RegionGroup group : kRegionPriority) {
    if (!list.empty()) list += ", ";
    std::string_view separator;
    for (const Region& box : kRegions) {
      if (box.group != group) continue;
      list += separator;
      list += box.caption;
      separator = "/";
    }
  }
  return list;
}

std::string InvalidKindList() {
  std::string list;
  for (const auto& [name, kind] : kInvalidKinds) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

std::string SeriesDigitList() {
  std::string list;
  for (char digit = '0'; digit <= '9'; ++digit) {
    if (const auto series = SeriesName(RegionForDigit(digit).value())) {
      if (!list.empty()) list += ", ";
      list += digit;
      list += ' ';
      list += *series;
    }
  }
  return list;
}
}  // namespace mivaro::cli

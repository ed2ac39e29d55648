// SPDX-License-Identifier: Apache-2.0
// mivaro-cli validate: one record for every entry, from the arguments or
// standard input.
#include "cli/validate.h"

#include <unistd.h>

#include <cstring>

#include "cli/command.h"
#include "cli/entry_parser.h"
#include "cli/input.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

class Validate final : public Command {
 public:
  explicit Validate(CLI::App& app)
      : Command(app.add_subcommand(
            "validate",
            "Check SINs given as arguments or, with none, one a line on standard input. A SIN is "
            "nine digits, bare or grouped as 123 456 782 or 123-456-782; blanks around it are "
            "ignored. Writes one record per entry, in order.")) {
    command_->add_option("NUMBER", options_.numbers, "SINs to check");
    format_.AddTo(command_, "JSON Lines: one object per entry",
                  "CSV (RFC 4180) with a header row of the same fields as --json");
    command_->add_flag("--summary", options_.summary,
                       "Add the counts of valid, invalid and malformed entries at the end "
                       "(with --csv, on standard error)");
    command_->add_flag("--mask", options_.mask,
                       "Show no more of a SIN than its last three digits, in entries and "
                       "numbers; leave out the check values");
    AddOutputOption(command_, output_);
    AddEncodingOption(command_, options_.encoding);
  }

  int Run() override {
    options_.format = format_.Chosen().value_or(RecordFormat::Text);
    const auto target = OutputTarget::Open(output_, STDIN_FILENO, stderr);
    if (!target) return kExitFailure;
    return target->Finish(RunValidate(options_, STDIN_FILENO, target->Stream(), stderr), stderr);
  }

 private:
  ValidateOptions options_;
  RecordFormatFlags format_;
  std::optional<std::string> output_;
};

}  // namespace

std::unique_ptr<Command> AddValidate(CLI::App& app) {
  return std::make_unique<Validate>(app);
}

int RunValidate(const ValidateOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  const std::unique_ptr<RecordWriter> writer =
      RecordWriter::Create(options.format, out, err, options.mask);
  Tally tally;
  // Returns false once the output refuses a write: nothing more can be said.
  const auto emit = [&](const ParsedEntry& entry) {
    const Record record = RecordOf(entry);
    tally.Count(record);
    writer->Write(record);
    return writer->Ok();
  };

  writer->Header();
  std::string readProblem;
  if (!options.numbers.empty()) {
    for (const std::string& number : options.numbers) {
      if (!emit(ParseEntry(number))) break;
    }
  } else {
    // Lines that lie whole in a piece are parsed where they lie; only a line
    // that runs across pieces goes through the accumulator.
    InputReader input(inputFd, options.encoding);
    EntryAccumulator accumulator;
    ParsedEntry parsed;  // one for every line, so that its echo is not allocated anew
    bool lineOpen = false;
    bool writing = true;
    bool told = false;
    while (writing) {
      std::string_view chunk = input.Next();
      if (!told && input.ConvertedFrom()) {
        Report(err, "read standard input as {}", *input.ConvertedFrom());
      }
      told = true;
      if (chunk.empty()) {
        readProblem = input.Error();
        // A last line without its newline is an entry all the same.
        if (lineOpen && readProblem.empty()) emit(accumulator.Finish());
        break;
      }
      while (writing && !chunk.empty()) {
        const auto* newline =
            static_cast<const char*>(std::memchr(chunk.data(), '\n', chunk.size()));
        if (newline == nullptr) {
          accumulator.Feed(chunk);
          lineOpen = true;
          break;
        }
        const auto length = static_cast<std::size_t>(newline - chunk.data());
        if (lineOpen) {
          accumulator.Feed(chunk.substr(0, length));
          writing = emit(accumulator.Finish());
          lineOpen = false;
        } else {
          ParseEntry(chunk.substr(0, length), parsed);
          writing = emit(parsed);
        }
        chunk.remove_prefix(length + 1);
      }
    }
  }
  // The summary only once every record has been written.
  if (!writer->Flush()) return ReportWriteFailure(err, writer->Error(), "the results");
  if (!readProblem.empty()) {
    Report(err, "cannot read standard input: {}", readProblem);
    return kExitFailure;
  }
  if (options.summary) {
    writer->Summary(tally);
    if (!writer->Flush()) return ReportWriteFailure(err, writer->Error(), "the results");
  }
  return tally.AllValid() ? kExitAllValid : kExitNotAllValid;
}

}  // namespace mivaro::cli

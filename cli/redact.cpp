// SPDX-License-Identifier: Apache-2.0
// mivaro-cli redact: the text with each SIN's digits written over with '*',
// every other byte as it was, so that the output has the input's length and
// every offset stays true.
#include "cli/redact.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "cli/command.h"
#include "cli/held_text.h"
#include "cli/input.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Writes UTF-8 text out in the encoding the input came in: as it is, or
// converted back by iconv.
class EncodedWriter {
 public:
  EncodedWriter(std::FILE* stream, const std::optional<std::string>& encoding) : stream_(stream) {
    if (encoding) converter_ = iconv_open(encoding->c_str(), "UTF-8");
  }
  ~EncodedWriter() {
    if (Converts()) iconv_close(converter_);
  }
  EncodedWriter(const EncodedWriter&) = delete;
  EncodedWriter& operator=(const EncodedWriter&) = delete;

  bool Write(std::string_view text) {
    if (!Converts()) return Put(text);
    converted_.resize(text.size() * 4 + 16);    // UTF-16 takes at most four bytes per character
    char* in = const_cast<char*>(text.data());  // iconv's signature; it only reads
    std::size_t inLeft = text.size();
    char* out = converted_.data();
    std::size_t outLeft = converted_.size();
    // Redaction changes ASCII digits only, so what was read converts back.
    if (iconv(converter_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
      error_ = errno;
      return false;
    }
    return Put(std::string_view(converted_.data(), converted_.size() - outLeft));
  }

  bool Flush() {
    if (error_ == 0 && std::fflush(stream_) != 0) error_ = errno;
    return error_ == 0;
  }
  int Error() const { return error_; }

 private:
  bool Converts() const { return converter_ != reinterpret_cast<iconv_t>(-1); }
  bool Put(std::string_view bytes) {
    if (error_ == 0 && std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
      error_ = errno;
    }
    return error_ == 0;
  }

  std::FILE* stream_;
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
  std::vector<char> converted_;
  int error_ = 0;
};

class Redact final : public Command {
 public:
  explicit Redact(CLI::App& app)
      : Command(app.add_subcommand(
            "redact",
            "Write the text with the digits of every SIN found, as scan finds them, replaced "
            "by '*', all but the last three. Separators and every other byte stay as they "
            "were, so the output has the input's length and its encoding. Reads FILE, or "
            "standard input when FILE is absent or -; binary input is refused.")) {
    command_->add_option("FILE", file_, "The text (default: standard input)");
    AddConfidenceOption(command_, options_.minimum);
    command_->add_flag("--all-digits", options_.allDigits, "Hide all nine digits");
    AddOutputOption(command_, output_);
    AddEncodingOption(command_, options_.encoding);
  }

  int Run() override {
    return RunFileToOutput(file_, output_, [this](int input, std::FILE* out) {
      return RunRedact(options_, input, out, stderr);
    });
  }

 private:
  RedactOptions options_;
  std::string file_ = "-";
  std::optional<std::string> output_;
};

}  // namespace

int RunRedact(const RedactOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  InputReader input(inputFd, options.encoding);
  Scanner scanner(options.minimum);
  HeldText held;
  std::optional<EncodedWriter> writer;
  std::uint64_t redacted = 0;
  const auto each = [&](const Match& match) {
    RedactDigits(held.At(match.offset), match.length, options.allDigits);
    ++redacted;
  };
  for (std::string_view piece = input.Next(); !piece.empty(); piece = input.Next()) {
    if (piece.find('\0') != std::string_view::npos) {
      Report(err, "the input is binary (it holds a NUL byte): nothing redacted");
      return kExitFailure;
    }
    if (!writer) {
      writer.emplace(out, input.ConvertedFrom());
      if (input.HadByteOrderMark()) writer->Write(kUtf8Mark);
    }
    held.Append(piece);
    scanner.Feed(piece, each);
    const std::uint64_t settled = scanner.Settled();
    if (!writer->Write(held.Before(settled))) break;
    held.Forget(settled);
  }
  if (!input.Error().empty()) {
    Report(err, "cannot read the input: {}", input.Error());
    return kExitFailure;
  }
  scanner.Finish(each);
  if (!writer) writer.emplace(out, input.ConvertedFrom());
  writer->Write(held.Before(held.End()));
  if (!writer->Flush()) return ReportWriteFailure(err, writer->Error(), "the text");
  Report(err, "redacted {} SIN{}", redacted, redacted == 1 ? "" : "s");
  return kExitAllValid;
}

std::unique_ptr<Command> AddRedact(CLI::App& app) {
  return std::make_unique<Redact>(app);
}

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
// mivaro-cli redact: the text with each SIN's digits written over with '*',
// every other byte as it was, so that the output has the input's length and
// every offset stays true.
#include "cli/redact.h"

#include <iconv.h>
#include <mivaro/files.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/command.h"
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
            "standard input when FILE is absent or -; binary input is refused. A compressed "
            "file (gzip, bzip2, xz, zstd), an archive (tar, zip, 7z), a document (.docx, "
            ".pptx, .odt, .odp), a workbook (.xlsx, .ods) or mail (.eml, .mbox) given as FILE "
            "is written again in its format, each member's contents redacted and its name, "
            "times and mode kept; a PDF is refused.")) {
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

// The input's text as the redactor reads it: binary input (a NUL byte) ends
// it, and so does an output that refuses writes.
class GuardedStream final : public TextStream {
 public:
  GuardedStream(TextStream& text, const EncodedWriter& writer) : text_(text), writer_(writer) {}

  std::size_t Read(std::span<char> space) override {
    if (binary_ || writer_.Error() != 0) return 0;
    const std::size_t got = text_.Read(space);
    binary_ = std::memchr(space.data(), '\0', got) != nullptr;
    return binary_ ? 0 : got;
  }
  ReadFailure Failure() const override { return text_.Failure(); }
  std::string_view Error() const override { return text_.Error(); }
  bool Binary() const { return binary_; }

 private:
  TextStream& text_;
  const EncodedWriter& writer_;
  bool binary_ = false;
};

// The kind of file a regular file's first bytes say it is, when it is one
// redact rewrites in its own format; "" for text (and for standard input or
// a pipe, which are read as text).
std::string_view ContainerFormat(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return {};
  char head[512];
  const ssize_t got = pread(fd, head, sizeof head, 0);
  if (got <= 0) return {};
  const std::string_view format = FormatOf({head, static_cast<std::size_t>(got)});
  for (const std::string_view container :
       {"gzip", "bzip2", "xz", "zstd", "tar", "zip", "7z", "pdf", "eml", "mbox"}) {
    if (format == container) return format;
  }
  return {};
}

// Rewrites a compressed file or an archive in its own format.
int RedactContainer(const RedactOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  if (std::fflush(out) != 0) return ReportWriteFailure(err, errno, "the file");
  std::uint64_t redacted = 0;
  std::string error;
  if (!RedactFile(inputFd, fileno(out),
                  {.minimum = options.minimum, .allDigits = options.allDigits}, redacted, error)) {
    Report(err, "cannot redact the file: {}", error);
    return kExitFailure;
  }
  Report(err, "redacted {} SIN{}", redacted, redacted == 1 ? "" : "s");
  return kExitAllValid;
}

}  // namespace

int RunRedact(const RedactOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  if (!ContainerFormat(inputFd).empty()) return RedactContainer(options, inputFd, out, err);
  const std::unique_ptr<Source> source =
      OpenDescriptor(inputFd, "-", {.encoding = options.encoding, .sniffBinary = false});
  const SourceStream stream = *source->Next();
  EncodedWriter writer(out, stream.convertedFrom);
  if (stream.byteOrderMark) writer.Write(kUtf8Mark);
  GuardedStream input(*stream.text, writer);
  Redactor redactor({.minimum = options.minimum, .allDigits = options.allDigits});
  const bool read = redactor.Redact(input, [&](std::string_view text) { writer.Write(text); });
  if (input.Binary()) {
    Report(err, "the input is binary (it holds a NUL byte): nothing redacted");
    return kExitFailure;
  }
  if (!read) {
    Report(err, "cannot read the input: {}", ReadProblem(*stream.text));
    return kExitFailure;
  }
  if (!writer.Flush()) return ReportWriteFailure(err, writer.Error(), "the text");
  const std::uint64_t redacted = redactor.Redacted();
  Report(err, "redacted {} SIN{}", redacted, redacted == 1 ? "" : "s");
  return kExitAllValid;
}

std::unique_ptr<Command> AddRedact(CLI::App& app) {
  return std::make_unique<Redact>(app);
}

}  // namespace mivaro::cli

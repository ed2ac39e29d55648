// SPDX-License-Identifier: Apache-2.0
// mivaro-cli scan: SINs in free text (logs, e-mails, tickets, exports), like
// grep: one line per match with its file, line and column.
#include "cli/scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/command.h"
#include "cli/escape.h"
#include "cli/input.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;
namespace fs = std::filesystem;

// What the name "-" and no name at all stand for.
constexpr std::string_view kStandardInput = "-";

// Writes what is found: a line per match, or per file with -l and -c.
class MatchWriter final : public SearchSink, public BufferedOutput {
 public:
  MatchWriter(std::FILE* stream, const ScanOptions& options)
      : BufferedOutput(stream), options_(options) {}

  // Starts a file of this name.
  void Begin(std::string_view path) {
    path_ = path;
    found_ = 0;
  }
  std::uint64_t FoundInFile() const { return found_; }

  void Matched(const Found& found) override {
    ++found_;
    // -l and -c say nothing of where a match lies.
    if (options_.filesWithMatches || options_.count) return;
    const mivaro::Match& match = found.match;
    TextBuffer& out = Buffer();
    const std::string digits(match.number.data(), match.number.size());
    if (options_.json) {
      out += R"({"path":")"sv;
      AppendJsonEscaped(out, path_);
      fmt::format_to(std::back_inserter(out), R"(","line":{},"column":{},"offset":{},"length":{},)",
                     found.line, found.column.codePoints, match.offset, match.length);
      out += R"("number":")"sv;
      out += options_.unmasked ? digits : MaskDigits(digits, HiddenDigits(kNumberLength));
      out += R"(","confidence":")"sv;
      out += ConfidenceName(match.confidence);
      out += match.keyword.empty() ? R"(","keyword":null})"sv : R"(","keyword":")"sv;
      if (!match.keyword.empty()) {
        AppendJsonEscaped(out, match.keyword);
        out += "\"}"sv;
      }
      out += '\n';
    } else {
      AppendEscaped(out, path_);
      fmt::format_to(std::back_inserter(out), ":{}:{}: ", found.line, found.column.codePoints);
      AppendPrintable(out, options_.unmasked ? std::string(found.text)
                                             : MaskDigits(found.text, HiddenDigits(kNumberLength)));
      out += " ("sv;
      out += ConfidenceName(match.confidence);
      if (!match.keyword.empty()) {
        out += ": "sv;
        AppendPrintable(out, match.keyword);
      }
      out += ")\n"sv;
    }
    MaybeFlush();
  }

  void FileDone() {
    if (options_.filesWithMatches && found_ != 0) {
      AppendEscaped(Buffer(), path_);
      Buffer() += '\n';
    } else if (options_.count) {
      AppendEscaped(Buffer(), path_);
      fmt::format_to(std::back_inserter(Buffer()), ":{}\n", found_);
    }
    MaybeFlush();
  }

 private:
  const ScanOptions& options_;
  std::string_view path_;
  std::uint64_t found_ = 0;
};

// What the whole scan has done, for the progress line and the summary.
struct Totals {
  std::uint64_t files = 0;
  std::uint64_t binary = 0;
  std::uint64_t special = 0;  // pipes, sockets and devices met in a folder
  std::uint64_t bytes = 0;
  std::uint64_t matches = 0;
  std::uint64_t filesWithMatches = 0;
  bool failed = false;
};

// A line on a terminal's standard error that says how far a long scan is.
class Progress {
 public:
  Progress(std::FILE* err, bool enabled) : err_(err), enabled_(enabled) {}

  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

  void Update(const Totals& totals) {
    if (!enabled_) return;
    const double seconds = Seconds();
    if (seconds < 1.0 || seconds - shown_ < 0.2) return;
    shown_ = seconds;
    std::fprintf(err_, "\rmivaro-cli: scanning: %llu files, %.1f MB, %.0f MB/s\x1B[K",
                 static_cast<unsigned long long>(totals.files), totals.bytes / 1e6,
                 totals.bytes / 1e6 / seconds);
    std::fflush(err_);
  }

  void Clear() {
    if (enabled_ && shown_ > 0) std::fputs("\r\x1B[K", err_);
  }

 private:
  std::FILE* err_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  double shown_ = 0;
};

// A stream's text as the searcher reads it, counted for the totals and the
// progress line; it ends early once the matches can no longer be written.
class CountedStream final : public TextStream {
 public:
  CountedStream(TextStream& text, Totals& totals, Progress& progress, const MatchWriter& writer)
      : text_(text), totals_(totals), progress_(progress), writer_(writer) {}

  std::size_t Read(std::span<char> space) override {
    if (!writer_.Ok()) return 0;
    const std::size_t got = text_.Read(space);
    totals_.bytes += got;
    progress_.Update(totals_);
    return got;
  }
  ReadFailure Failure() const override { return text_.Failure(); }
  std::string_view Error() const override { return text_.Error(); }

 private:
  TextStream& text_;
  Totals& totals_;
  Progress& progress_;
  const MatchWriter& writer_;
};

// Everything one run of scan shares.
struct ScanRun {
  const ScanOptions& options;
  MatchWriter& writer;
  Searcher& searcher;
  Totals& totals;
  Progress& progress;
  std::FILE* err;
};

// Scans the streams of one open file or standard input.
void ScanDescriptor(int fd, const std::string& path, ScanRun& scan) {
  const std::unique_ptr<Source> source =
      OpenDescriptor(fd, path, {.encoding = scan.options.encoding, .sniffBinary = true});
  while (const std::optional<SourceStream> stream = source->Next()) {
    if (stream->kind == StreamKind::Binary) {
      ++scan.totals.binary;
      continue;
    }
    scan.writer.Begin(stream->name);
    CountedStream counted(*stream->text, scan.totals, scan.progress, scan.writer);
    if (!scan.searcher.Search(counted, scan.writer)) {
      Report(scan.err, "cannot read {}: {}", stream->name, ReadProblem(*stream->text));
      scan.totals.failed = true;
    }
    ++scan.totals.files;
    scan.totals.matches += scan.writer.FoundInFile();
    scan.totals.filesWithMatches += scan.writer.FoundInFile() != 0 ? 1 : 0;
    scan.writer.FileDone();
  }
}

// Opens a file met in a folder without waiting on it, and scans it only
// when it is a regular file: a pipe, socket or device is counted and left,
// as grep and ripgrep leave them, since reading one may never end.
void ScanFolderFile(const std::string& path, ScanRun& scan) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    Report(scan.err, "cannot open {}: {}", path, std::strerror(errno));
    scan.totals.failed = true;
    return;
  }
  struct stat status {};
  if (fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
    ++scan.totals.special;
  } else {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ScanDescriptor(fd, path, scan);
  }
  close(fd);
}

void ScanPath(const std::string& path, bool named, ScanRun& scan);

// A folder's files and folders, in the order of their names, so that a scan
// says the same every time. Links inside it are not followed.
void ScanFolder(const std::string& path, ScanRun& scan) {
  std::error_code error;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(*it);
  }
  if (error) {
    Report(scan.err, "cannot read {}: {}", path, error.message());
    scan.totals.failed = true;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::directory_entry& entry : entries) {
    if (!scan.writer.Ok()) return;
    if (entry.is_symlink(error)) continue;
    ScanPath(entry.path().string(), /*named=*/false, scan);
  }
}

// Scans a path named on the command line (any file there is read, a named
// pipe included: the user asked for it) or met in a folder.
void ScanPath(const std::string& path, bool named, ScanRun& scan) {
  std::error_code error;
  if (fs::is_directory(path, error)) return ScanFolder(path, scan);
  if (!named) return ScanFolderFile(path, scan);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Report(scan.err, "cannot open {}: {}", path, std::strerror(errno));
    scan.totals.failed = true;
    return;
  }
  ScanDescriptor(fd, path, scan);
  close(fd);
}

// One line at the end. Time and speed only on a terminal, so that what a
// script keeps is the same from run to run.
void Summarize(const Totals& totals, const Progress& progress, bool timed, std::FILE* err) {
  const auto plural = [](std::uint64_t count) { return count == 1 ? "" : "s"; };
  std::string scanned = fmt::format("scanned {} file{}, {} byte{}", totals.files,
                                    plural(totals.files), totals.bytes, plural(totals.bytes));
  if (timed) {
    const double seconds = progress.Seconds();
    scanned += fmt::format(" in {:.2f} s ({:.0f} MB/s)", seconds,
                           seconds > 0 ? totals.bytes / 1e6 / seconds : 0.0);
  }
  std::string skipped;
  if (totals.binary != 0) {
    skipped = fmt::format(", {} binary file{} skipped", totals.binary, plural(totals.binary));
  }
  if (totals.special != 0) {
    skipped += fmt::format(", {} pipe{}, socket{} or device{} skipped", totals.special,
                           plural(totals.special), plural(totals.special), plural(totals.special));
  }
  Report(err, "{}: {} SIN{} in {} file{}{}", scanned, totals.matches, plural(totals.matches),
         totals.filesWithMatches, plural(totals.filesWithMatches), skipped);
}

std::string Description() {
  return "Find SINs in free text: logs, e-mails, tickets, JSON and CSV exports. A SIN is nine "
         "digits, bare or as three groups of three joined by one separator (space, no-break "
         "space, hyphen or dash, dot), standing on their own and passing the check. Confidence: "
         "high near a keyword (within " +
         std::to_string(kKeywordReach) + " characters: " + KeywordList() +
         ") or in a SIN column; medium when grouped; low when bare, or when the first digit is "
         "8. "
         "Reads files, folders (recursively) and standard input (none, or -). Exit status: 0 "
         "when a SIN was found, 1 when none, 2 on any error.";
}

class Scan final : public Command {
 public:
  explicit Scan(CLI::App& app) : Command(app.add_subcommand("scan", Description())) {
    command_->add_option("PATH", options_.paths, "Files and folders (default: standard input)");
    command_->add_flag("--json", options_.json,
                       "JSON Lines: path, line, column, offset, length, number, confidence, "
                       "keyword");
    command_->add_flag("--unmasked", options_.unmasked,
                       "Show whole numbers, not only their last three digits");
    AddConfidenceOption(command_, options_.minimum);
    CLI::Option* files = command_->add_flag("-l,--files-with-matches", options_.filesWithMatches,
                                            "Name each file with a match, once");
    command_->add_flag("-c,--count", options_.count, "Each file's number of matches")
        ->excludes(files);
    AddEncodingOption(command_, options_.encoding);
  }

  int Run() override {
    options_.progress = isatty(STDERR_FILENO) != 0;
    return RunScan(options_, STDIN_FILENO, stdout, stderr);
  }

 private:
  ScanOptions options_;
};

}  // namespace

std::string KeywordList() {
  std::string list;
  for (const std::string_view name : KeywordNames()) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  // Only NAS is read in capitals alone; a word "nas" is too common.
  return list + " (in capitals)";
}

int RunScan(const ScanOptions& options, int stdinFd, std::FILE* out, std::FILE* err) {
  MatchWriter writer(out, options);
  Totals totals;
  Progress progress(err, options.progress);
  // -l and -c need no lines or columns, which cost a pass over the text.
  Searcher searcher(
      {.minimum = options.minimum, .places = !options.filesWithMatches && !options.count});
  ScanRun scan{options, writer, searcher, totals, progress, err};
  std::vector<std::string> paths = options.paths;
  if (paths.empty()) paths.emplace_back(kStandardInput);
  for (const std::string& path : paths) {
    if (path == kStandardInput) {
      ScanDescriptor(stdinFd, path, scan);
    } else {
      ScanPath(path, /*named=*/true, scan);
    }
    if (!writer.Ok()) break;
  }
  progress.Clear();
  if (!writer.Flush()) return ReportWriteFailure(err, writer.Error(), "the matches");
  Summarize(totals, progress, options.progress, err);
  if (totals.failed) return kExitFailure;
  return totals.matches != 0 ? kExitFound : kExitNoneFound;
}

std::unique_ptr<Command> AddScan(CLI::App& app) {
  return std::make_unique<Scan>(app);
}

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
// mivaro-cli scan: SINs in free text (logs, e-mails, tickets, exports), like
// grep: one line per match with its file, line and column.
#include "cli/scan.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/command.h"
#include "cli/held_text.h"
#include "cli/input.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"
#include "cli/utf8.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;
namespace fs = std::filesystem;

// What the name "-" and no name at all stand for.
constexpr std::string_view kStandardInput = "-";

// Writes what is found: a line per match, or per file with -l and -c.
class MatchWriter : public BufferedOutput {
 public:
  MatchWriter(std::FILE* stream, const ScanOptions& options)
      : BufferedOutput(stream), options_(options) {}

  void Match(std::string_view path, const mivaro::Match& match, std::string_view written,
             HeldText::Position at) {
    TextBuffer& out = Buffer();
    const std::string digits(match.number.data(), match.number.size());
    if (options_.json) {
      out += R"({"path":")"sv;
      AppendJsonEscaped(out, path);
      fmt::format_to(std::back_inserter(out), R"(","line":{},"column":{},"offset":{},"length":{},)",
                     at.line, at.column, match.offset, match.length);
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
      AppendEscaped(out, path);
      fmt::format_to(std::back_inserter(out), ":{}:{}: ", at.line, at.column);
      AppendPrintable(out, options_.unmasked ? std::string(written)
                                             : MaskDigits(written, HiddenDigits(kNumberLength)));
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

  void FileDone(std::string_view path, std::uint64_t matches) {
    if (options_.filesWithMatches && matches != 0) {
      AppendEscaped(Buffer(), path);
      Buffer() += '\n';
    } else if (options_.count) {
      AppendEscaped(Buffer(), path);
      fmt::format_to(std::back_inserter(Buffer()), ":{}\n", matches);
    }
    MaybeFlush();
  }

 private:
  const ScanOptions& options_;
};

// What the whole scan has done, for the progress line and the summary.
struct Totals {
  std::uint64_t files = 0;
  std::uint64_t binary = 0;
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

// Scans one open file or standard input.
void ScanStream(int fd, std::string_view path, const ScanOptions& options, MatchWriter& writer,
                Totals& totals, Progress& progress, std::FILE* err) {
  InputReader input(fd, options.encoding);
  Scanner scanner(options.minimum);
  HeldText held;
  // -l and -c say nothing of where a match lies.
  const bool placed = !options.filesWithMatches && !options.count;
  std::uint64_t found = 0;
  const auto each = [&](const Match& match) {
    ++found;
    if (placed) {
      writer.Match(path, match, held.View(match.offset, match.length),
                   held.PositionOf(match.offset));
    }
  };
  bool first = true;
  for (std::string_view piece = input.Next(); !piece.empty(); piece = input.Next()) {
    // A NUL in the first block says binary, as grep has it.
    if (first && piece.find('\0') != std::string_view::npos) {
      ++totals.binary;
      return;
    }
    first = false;
    totals.bytes += piece.size();
    if (placed) held.Append(piece);
    scanner.Feed(piece, each);
    if (placed) held.Forget(scanner.Settled());
    progress.Update(totals);
    if (!writer.Ok()) return;
  }
  if (!input.Error().empty()) {
    Report(err, "cannot read {}: {}", path, input.Error());
    totals.failed = true;
  }
  scanner.Finish(each);
  ++totals.files;
  totals.matches += found;
  totals.filesWithMatches += found != 0 ? 1 : 0;
  writer.FileDone(path, found);
}

void ScanPath(const std::string& path, const ScanOptions& options, MatchWriter& writer,
              Totals& totals, Progress& progress, std::FILE* err);

// A folder's files and folders, in the order of their names, so that a scan
// says the same every time. Links inside it are not followed.
void ScanFolder(const std::string& path, const ScanOptions& options, MatchWriter& writer,
                Totals& totals, Progress& progress, std::FILE* err) {
  std::error_code error;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(*it);
  }
  if (error) {
    Report(err, "cannot read {}: {}", path, error.message());
    totals.failed = true;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::directory_entry& entry : entries) {
    if (!writer.Ok()) return;
    if (entry.is_symlink(error)) continue;
    ScanPath(entry.path().string(), options, writer, totals, progress, err);
  }
}

void ScanPath(const std::string& path, const ScanOptions& options, MatchWriter& writer,
              Totals& totals, Progress& progress, std::FILE* err) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    return ScanFolder(path, options, writer, totals, progress, err);
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Report(err, "cannot open {}: {}", path, std::strerror(errno));
    totals.failed = true;
    return;
  }
  ScanStream(fd, path, options, writer, totals, progress, err);
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
  std::string binary;
  if (totals.binary != 0) {
    binary = fmt::format(", {} binary file{} skipped", totals.binary, plural(totals.binary));
  }
  Report(err, "{}: {} SIN{} in {} file{}{}", scanned, totals.matches, plural(totals.matches),
         totals.filesWithMatches, plural(totals.filesWithMatches), binary);
}

std::string Description() {
  return "Find SINs in free text: logs, e-mails, tickets, JSON and CSV exports. A SIN is nine "
         "digits, bare or as three groups of three joined by one separator (space, no-break "
         "space, hyphen or dash, dot), standing on their own and passing the check. Confidence: "
         "high near a keyword (within " +
         std::to_string(kKeywordReach) +
         " characters: SIN, S.I.N., social insurance, NAS, N.A.S., assurance sociale, ...) or "
         "in a SIN column; medium when grouped; low when bare, or when the first digit is 8. "
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

int RunScan(const ScanOptions& options, int stdinFd, std::FILE* out, std::FILE* err) {
  MatchWriter writer(out, options);
  Totals totals;
  Progress progress(err, options.progress);
  std::vector<std::string> paths = options.paths;
  if (paths.empty()) paths.emplace_back(kStandardInput);
  for (const std::string& path : paths) {
    if (path == kStandardInput) {
      ScanStream(stdinFd, path, options, writer, totals, progress, err);
    } else {
      ScanPath(path, options, writer, totals, progress, err);
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

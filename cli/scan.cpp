// SPDX-License-Identifier: Apache-2.0
// mivaro-cli scan: SINs in free text (logs, e-mails, tickets, exports), like
// grep: one line per match with its file, line and column.
#include "cli/scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/command.h"
#include "cli/escape.h"
#include "cli/findings_filter.h"
#include "cli/input.h"
#include "cli/match_writer.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"
#include "cli/scan_run.h"

namespace mivaro::cli {

// Names what was not read on err: always what could not be read (a SIN may
// hide there), and with --list-skipped what was skipped.
void NameSkipped(const Entry& entry, ScanRun& scan) {
  const std::string name = JoinContainer(entry.container);
  switch (entry.kind) {
    case EntryKind::Failed:
      Report(scan.err, "cannot read {}: {}", name, entry.reason);
      if (scan.notes.size() < kMostNotes) {
        scan.notes.push_back(fmt::format("cannot read {}: {}", name, entry.reason));
      }
      ++scan.totals.unreadable;
      scan.totals.failed = true;
      break;
    case EntryKind::Binary:
      ++scan.totals.binary;
      if (scan.options.listSkipped) Report(scan.err, "skipped {}: binary", name);
      break;
    case EntryKind::Unopened:
      ++scan.totals.unopened;
      if (scan.options.listSkipped) {
        Report(scan.err, "skipped {}: {}: {}", name, entry.format, entry.reason);
      }
      break;
    default:
      break;
  }
}

namespace {

using namespace std::string_view_literals;
namespace fs = std::filesystem;

// What the name "-" and no name at all stand for.
constexpr std::string_view kStandardInput = "-";

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

// Scans the texts of one open file or standard input.
void ScanDescriptor(int fd, const std::string& path, ScanRun& scan) {
  const std::unique_ptr<Contents> contents = OpenFile(fd, path, scan.open);
  scan.writer.BeginFile(path);
  while (std::optional<Entry> entry = contents->Next()) {
    if (!scan.writer.Ok()) break;
    if (entry->kind == EntryKind::Opened) {
      ++scan.totals.opened[std::string(entry->format)];
      continue;
    }
    if (entry->kind != EntryKind::Text) {
      NameSkipped(*entry, scan);
      continue;
    }
    scan.writer.BeginText(entry->container, entry->locator,
                          !entry->byteOrderMark && !entry->convertedFrom);
    CountedStream counted(*entry->text, scan.totals, scan.progress, scan.writer);
    if (!scan.searcher.Search(counted, scan.writer)) {
      Report(scan.err, "cannot read {}: {}", JoinContainer(entry->container),
             ReadProblem(*entry->text));
      scan.totals.failed = true;
    }
    ++scan.totals.files;
  }
  scan.totals.matches += scan.writer.FoundInFile();
  scan.totals.filesWithMatches += scan.writer.FoundInFile() != 0 ? 1 : 0;
  scan.writer.FileDone();
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
  std::string timing;
  if (timed) {
    const double seconds = progress.Seconds();
    timing = fmt::format(" in {:.2f} s ({:.0f} MB/s)", seconds,
                         seconds > 0 ? totals.bytes / 1e6 / seconds : 0.0);
  }
  Report(err, "{}", SummaryOf(totals, timing));
}

// Scans every path into out, leaving out what the filter says to.
int ScanEverything(const ScanOptions& options, const FindingsFilter& filter, int stdinFd,
                   std::FILE* out, std::FILE* err) {
  MatchWriter writer(out, options, filter);
  Totals totals;
  Progress progress(err, options.progress);
  // -l and -c need no lines or columns, which cost a pass over the text;
  // a commit's added lines are told by theirs.
  Searcher searcher({.minimum = options.minimum,
                     .places = options.git || (!options.filesWithMatches && !options.count)});
  ScanRun scan{options, writer, searcher, totals, progress, err, {}, {}};
  scan.open.text.encoding = options.encoding;
  scan.open.open = !options.noOpen;
  scan.open.limits = options.limits;
  std::vector<std::string> paths = options.paths;
  if (paths.empty()) paths.emplace_back(kStandardInput);
  writer.BeginReport();
  if (options.git) ScanHistory(*options.git, scan);
  for (const std::string& path : options.git ? std::vector<std::string>() : paths) {
    if (path == kStandardInput) {
      ScanDescriptor(stdinFd, path, scan);
    } else {
      ScanPath(path, /*named=*/true, scan);
    }
    if (!writer.Ok()) break;
  }
  progress.Clear();
  totals.allowed = writer.Allowed();
  totals.inBaseline = writer.InBaseline();
  if (writer.Ok()) writer.EndReport(!totals.failed, scan.notes);
  if (!writer.Flush()) return ReportWriteFailure(err, writer.Error(), "the matches");
  Summarize(totals, progress, options.progress, err);
  if (totals.failed) return kExitFailure;
  return totals.matches != 0 ? kExitFound : kExitNoneFound;
}

std::string Description() {
  return "Find SINs in free text (logs, e-mails, tickets, JSON and CSV exports) and inside the "
         "files that hold it: compressed files (gzip, bzip2, xz, zstd), archives (zip, tar, 7z, "
         "one inside another), workbooks (.xlsx, .ods), documents (.docx, .pptx, .odt, .odp) "
         "and PDFs (with pdftotext), told by their contents. A SIN is nine "
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
    CLI::Option* json =
        command_->add_flag("--json", options_.json,
                           "JSON Lines: path, line, column, offset, length, number, confidence, "
                           "keyword, container (the chain of names to the text), where (line "
                           "and column, sheet and cell, page, or paragraph) and fingerprint (the "
                           "same from run to run while the finding stays where it is)");
    command_->add_flag("--unmasked", options_.unmasked,
                       "Show whole numbers, not only their last three digits");
    AddConfidenceOption(command_, options_.minimum);
    CLI::Option* files = command_->add_flag("-l,--files-with-matches", options_.filesWithMatches,
                                            "Name each file with a match, once");
    CLI::Option* count =
        command_->add_flag("-c,--count", options_.count, "Each file's number of matches")
            ->excludes(files);
    AddEncodingOption(command_, options_.encoding);
    command_->add_flag("--no-open", options_.noOpen,
                       "Read every file as bytes: open no archive, compressed file, workbook, "
                       "document or PDF");
    command_->add_flag("--list-skipped", options_.listSkipped,
                       "Name on standard error each file skipped: binary, or not opened "
                       "although it may hold text");
    AddLimitOptions(command_, options_.limits);
    command_
        ->add_flag("--sarif", options_.sarif,
                   "A SARIF 2.1.0 log, for code-scanning dashboards: a rule per "
                   "confidence, each finding with its place and a fingerprint; never "
                   "its digits")
        ->excludes(json)
        ->excludes(files)
        ->excludes(count);
    command_->add_option("-o,--output", options_.output,
                         "Write the report to this file (put in place when the scan ends)");
    command_
        ->add_option("--allow", options_.allow,
                     "A file of numbers never to report, one a line in any written "
                     "form, # for comments")
        ->check(CLI::ExistingFile);
    command_
        ->add_option("--baseline", options_.baseline,
                     "An earlier run's report (--json or --sarif): its findings are left "
                     "out, by fingerprint, and counted in the summary")
        ->check(CLI::ExistingFile);
    git_ = command_
               ->add_option("--git", gitRange_,
                            "Scan what each commit of a range added (default: all history "
                            "reachable from HEAD), in the repository of the current folder, "
                            "through git log -p; PATHs, if any, limit it to those files")
               ->expected(0, 1);
  }

  int Run() override {
    options_.progress = isatty(STDERR_FILENO) != 0;
    if (git_->count() != 0) {
      options_.git = gitRange_.empty() || gitRange_.front().empty() ? "HEAD" : gitRange_.front();
    }
    return RunScan(options_, STDIN_FILENO, stdout, stderr);
  }

 private:
  ScanOptions options_;
  CLI::Option* git_ = nullptr;
  std::vector<std::string> gitRange_;
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
  FindingsFilter filter;
  std::string error;
  if ((options.allow && !filter.LoadAllowList(*options.allow, error)) ||
      (options.baseline && !filter.LoadBaseline(*options.baseline, error))) {
    Report(err, "{}", error);
    return kExitFailure;
  }
  std::unique_ptr<OutputTarget> target;
  if (options.output) {
    target = OutputTarget::Open(options.output, -1, err);
    if (target == nullptr) return kExitFailure;
    out = target->Stream();
  }
  const int status = ScanEverything(options, filter, stdinFd, out, err);
  // The report is kept when the scan ran to its end, a member that could
  // not be read notwithstanding: it says so itself.
  if (target != nullptr &&
      target->Finish(status == kExitFailure ? kExitFound : status, err) == kExitFailure) {
    return kExitFailure;
  }
  return status;
}

std::unique_ptr<Command> AddScan(CLI::App& app) {
  return std::make_unique<Scan>(app);
}

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#include "cli/git_history.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

extern char** environ;

namespace mivaro::cli {
namespace {

// Marks the line that starts each commit; no line of a patch starts so.
constexpr char kCommitMark = '\x01';

// Reads git log -p's output a line at a time into CommitTexts.
class PatchReader {
 public:
  PatchReader(const std::function<void(const CommitText&)>& each,
              const std::function<void(const CommitBlob&)>& binary)
      : each_(each), binary_(binary) {}

  void Line(std::string_view line) {
    if (newLeft_ > 0 || oldLeft_ > 0) return HunkLine(line);
    if (!line.empty() && line[0] == kCommitMark) {
      Flush();
      line.remove_prefix(1);
      const std::size_t space = line.find(' ');
      text_.commit = line.substr(0, space);
      text_.date = space == std::string_view::npos ? "" : line.substr(space + 1);
      blobs_.clear();
    } else if (line.starts_with(":")) {
      Raw(line);
    } else if (line.starts_with("diff --git ")) {
      Flush();
      text_.path.clear();
      header_ = line;
    } else if (line.starts_with("Binary files ") && line.ends_with(" differ")) {
      Binary();
    } else if (line.starts_with("+++ ")) {
      text_.path = PathOf(line.substr(4));
    } else if (line.starts_with("@@ -")) {
      Hunk(line);
    }
  }

  void Flush() {
    if (!text_.text.empty() && !text_.path.empty()) each_(text_);
    text_.text.clear();
    text_.lines.clear();
    text_.added.clear();
  }

 private:
  // "@@ -a,b +c,d @@": the lines to come, old and new, from new line c.
  void Hunk(std::string_view line) {
    const auto count = [](std::string_view range, std::uint64_t& start, std::uint64_t& lines) {
      const std::size_t comma = range.find(',');
      std::from_chars(range.data(), range.data() + std::min(comma, range.size()), start);
      lines = 1;
      if (comma != std::string_view::npos) {
        std::from_chars(range.data() + comma + 1, range.data() + range.size(), lines);
      }
    };
    line.remove_prefix(4);
    const std::size_t plus = line.find(" +");
    const std::size_t end = line.find(" @@");
    if (plus == std::string_view::npos || end == std::string_view::npos || end < plus) return;
    std::uint64_t start = 0;
    count(line.substr(0, plus), start, oldLeft_);
    count(line.substr(plus + 2, end - plus - 2), next_, newLeft_);
  }

  // ":100644 100644 <old> <new> M\tpath": the blobs of each file the
  // commit changed ("R100\told\tnew" for a rename).
  void Raw(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return;
    std::vector<std::string_view> fields;
    for (std::size_t at = 1, end; at < tab; at = end + 1) {
      end = std::min(line.find(' ', at), tab);
      fields.push_back(line.substr(at, end - at));
    }
    std::string_view path = line.substr(tab + 1);
    if (const std::size_t second = path.find('\t'); second != std::string_view::npos) {
      path = path.substr(second + 1);
    }
    if (fields.size() < 5) return;
    blobs_.push_back({PathOf(path, false), std::string(fields[2]), std::string(fields[3])});
  }

  // A binary file's diff: the file is the one of the commit's whose path
  // ends the "diff --git" line.
  void Binary() {
    for (const Blobs& blob : blobs_) {
      if (!std::string_view(header_).ends_with(" b/" + blob.path) &&
          !std::string_view(header_).ends_with(" \"b/" + blob.path + "\"")) {
        continue;
      }
      if (blob.after.find_first_not_of('0') == std::string::npos) return;  // deleted
      const bool added = blob.before.find_first_not_of('0') == std::string::npos;
      binary_({text_.commit, text_.date, blob.path, added ? "" : blob.before, blob.after});
      return;
    }
  }

  void HunkLine(std::string_view line) {
    const char kind = line.empty() ? ' ' : line[0];
    if (kind == '\\') return;  // "\ No newline at end of file"
    if (kind == '-') {
      if (oldLeft_ > 0) --oldLeft_;
      return;
    }
    if (kind == ' ' && oldLeft_ > 0) --oldLeft_;
    if (newLeft_ > 0) --newLeft_;
    if (!line.empty()) line.remove_prefix(1);
    text_.text.append(line);
    text_.text += '\n';
    text_.lines.push_back(next_++);
    text_.added.push_back(kind == '+');
  }

  // "b/name", or git's quoted form for names with unusual bytes; "" for
  // /dev/null, a file the commit deleted.
  static std::string PathOf(std::string_view name, bool prefixed = true) {
    if (name == "/dev/null") return {};
    std::string path;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
      for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\' || i + 1 == name.size()) {
          path += name[i];
        } else if (name[i + 1] >= '0' && name[i + 1] <= '7' && i + 3 < name.size()) {
          path += static_cast<char>(std::stoi(std::string(name.substr(i + 1, 3)), nullptr, 8));
          i += 3;
        } else {
          const char escaped = name[++i];
          path += escaped == 't' ? '\t' : escaped == 'n' ? '\n' : escaped;
        }
      }
    } else {
      path = name;
    }
    return prefixed && path.starts_with("b/") ? path.substr(2) : path;
  }

  struct Blobs {
    std::string path;
    std::string before;
    std::string after;
  };

  const std::function<void(const CommitText&)>& each_;
  const std::function<void(const CommitBlob&)>& binary_;
  CommitText text_;
  std::vector<Blobs> blobs_;  // the commit's files, from its raw lines
  std::string header_;        // the current file's "diff --git" line
  std::uint64_t next_ = 0;    // the next new line's number
  std::uint64_t newLeft_ = 0;
  std::uint64_t oldLeft_ = 0;
};

}  // namespace

namespace {

// Runs git with args, handing take each block of what it prints until take
// says to stop; false, saying why, when git cannot run or fails.
bool RunGit(std::vector<std::string> args, const std::function<bool(std::string_view)>& take,
            std::string& error) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::array<int, 2> pipe{};
  if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "git", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe[1]);
  if (spawned != 0) {
    close(pipe[0]);
    error = std::string("cannot run git: ") + std::strerror(spawned);
    return false;
  }
  std::array<char, 65536> block{};
  bool taking = true;
  for (ssize_t got; taking && (got = read(pipe[0], block.data(), block.size())) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    taking = take(std::string_view(block.data(), static_cast<std::size_t>(got)));
  }
  close(pipe[0]);  // a git still writing ends on a broken pipe
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (taking && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
    error = "git failed";
    return false;
  }
  return taking;
}

}  // namespace

bool ReadGitHistory(const std::string& range, const std::vector<std::string>& paths,
                    const std::function<void(const CommitText&)>& text,
                    const std::function<void(const CommitBlob&)>& binary, std::string& error) {
  // The user's settings must not change what the patch looks like.
  std::vector<std::string> args = {"git",
                                   "-c",
                                   "core.quotePath=false",
                                   "-c",
                                   "diff.suppressBlankEmpty=false",
                                   "-c",
                                   "log.showSignature=false",
                                   "log",
                                   "-p",
                                   "--raw",
                                   "--no-abbrev",
                                   "--reverse",
                                   "--root",
                                   "--no-color",
                                   "--no-ext-diff",
                                   "--no-textconv",
                                   "--src-prefix=a/",
                                   "--dst-prefix=b/",
                                   "--format=%x01%H %cI",
                                   range,
                                   "--"};
  args.insert(args.end(), paths.begin(), paths.end());
  PatchReader reader(text, binary);
  std::string pending;
  const bool read = RunGit(
      std::move(args),
      [&](std::string_view block) {
        pending.append(block);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
          reader.Line(std::string_view(pending).substr(start, end - start));
        }
        pending.erase(0, start);
        return true;
      },
      error);
  if (!read) {
    error = "git log failed (is this a repository, and the range one it has?)";
    return false;
  }
  if (!pending.empty()) reader.Line(pending);
  reader.Flush();
  return true;
}

bool ReadGitBlob(const std::string& blob, std::uint64_t most, std::string& bytes,
                 std::string& error) {
  bytes.clear();
  const bool read = RunGit(
      {"git", "cat-file", "blob", blob},
      [&](std::string_view block) {
        bytes.append(block);
        return bytes.size() <= most;
      },
      error);
  if (bytes.size() > most) {
    error = "larger than " + std::to_string(most >> 20) + " MiB (the limit on memory)";
    return false;
  }
  if (!read && error.empty()) error = "git cat-file failed";
  return read;
}

}  // namespace mivaro::cli

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
  explicit PatchReader(const std::function<void(const CommitText&)>& each) : each_(each) {}

  void Line(std::string_view line) {
    if (newLeft_ > 0 || oldLeft_ > 0) return HunkLine(line);
    if (!line.empty() && line[0] == kCommitMark) {
      Flush();
      line.remove_prefix(1);
      const std::size_t space = line.find(' ');
      text_.commit = line.substr(0, space);
      text_.date = space == std::string_view::npos ? "" : line.substr(space + 1);
    } else if (line.starts_with("diff --git ")) {
      Flush();
      text_.path.clear();
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
  static std::string PathOf(std::string_view name) {
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
    return path.starts_with("b/") ? path.substr(2) : path;
  }

  const std::function<void(const CommitText&)>& each_;
  CommitText text_;
  std::uint64_t next_ = 0;  // the next new line's number
  std::uint64_t newLeft_ = 0;
  std::uint64_t oldLeft_ = 0;
};

}  // namespace

bool ReadGitHistory(const std::string& range, const std::vector<std::string>& paths,
                    const std::function<void(const CommitText&)>& each, std::string& error) {
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
  PatchReader reader(each);
  std::string pending;
  std::array<char, 65536> block{};
  for (ssize_t got; (got = read(pipe[0], block.data(), block.size())) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    pending.append(block.data(), static_cast<std::size_t>(got));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      reader.Line(std::string_view(pending).substr(start, end - start));
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) reader.Line(pending);
  reader.Flush();
  close(pipe[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = "git log failed (is this a repository, and the range one it has?)";
    return false;
  }
  return true;
}

}  // namespace mivaro::cli

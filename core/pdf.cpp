// SPDX-License-Identifier: Apache-2.0
// PDFs through pdftotext (poppler-utils), run as a program of its own: its
// text comes down a pipe with a form feed after each page, and each page is
// a text of its own. The PDF reaches it as a path: the file's own
// descriptor, or a memory file holding a member's bytes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "core/levels.h"

extern char** environ;

namespace mivaro::detail {
namespace {

// pdftotext's exit statuses, as its manual gives them.
std::string PdfProblem(int status) {
  if (WIFSIGNALED(status)) return "pdftotext stopped by signal " + std::to_string(WTERMSIG(status));
  switch (WEXITSTATUS(status)) {
    case 1:
      return "damaged, or encrypted with a password (pdftotext cannot open it)";
    case 3:
      return "its permissions forbid copying its text";
    default:
      return "pdftotext failed with status " + std::to_string(WEXITSTATUS(status));
  }
}

class PdfLevel final : public Level, public TextStream, public Locator {
 public:
  ~PdfLevel() override {
    if (out_ >= 0) close(out_);
    if (memory_ >= 0) close(memory_);
    if (child_ > 0) {
      kill(child_, SIGKILL);
      int status = 0;
      waitpid(child_, &status, 0);
    }
  }

  bool Start(const Input& input, const std::string& program, unsigned seconds, std::string& error) {
    seconds_ = seconds;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int fd = input.fd;
    if (fd < 0) {
      memory_ = memfd_create("pdf", MFD_CLOEXEC);
      if (memory_ < 0 || !WriteAll(memory_, input.whole)) {
        error = std::string("cannot hold it for pdftotext: ") + std::strerror(errno);
        return false;
      }
      fd = memory_;
    }
    const std::string path = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(fd);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
      error = std::string("cannot run pdftotext: ") + std::strerror(errno);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const char* argv[] = {program.c_str(), "-q", "-enc", "UTF-8", path.c_str(), "-", nullptr};
    const int spawned = posix_spawnp(&child_, program.c_str(), &actions, nullptr,
                                     const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
    if (spawned != 0) {
      child_ = 0;
      error = "cannot run " + program + ": " + std::strerror(spawned);
      return false;
    }
    return true;
  }

  std::optional<Member> Next() override {
    if (ended_) return Finish();
    if (page_ > 0) {
      // Whatever the last page left unread is passed over.
      char rest[4096];
      while (!pageEnded_ && Read(rest) != 0) {
      }
      if (ended_) return Finish();
    }
    ++page_;
    pageEnded_ = false;
    // A form feed ends each page, the last too: text after it is none.
    if (!Fill()) return Finish();
    return Member::OfText("", this, this);
  }

  std::size_t Read(std::span<char> space) override {
    if (pageEnded_ || !Fill()) return 0;
    const std::string_view pending(buffer_.data() + given_, size_ - given_);
    const std::size_t feed = pending.find('\f');
    const std::size_t taken = std::min(space.size(), std::min(feed, pending.size()));
    std::memcpy(space.data(), pending.data(), taken);
    given_ += taken;
    if (taken == feed) {
      ++given_;
      pageEnded_ = true;
    }
    return taken;
  }
  ReadFailure Failure() const override { return ReadFailure::None; }
  std::string_view Error() const override { return {}; }
  Place Locate(const Found&) override {
    Place place;
    place.kind = PlaceKind::Page;
    place.page = page_;
    return place;
  }

 private:
  // Makes sure some text is pending; false at the end of the output.
  bool Fill() {
    if (given_ < size_) return true;
    given_ = size_ = 0;
    while (!ended_) {
      if (!Ready()) {
        ended_ = true;
        break;
      }
      const ssize_t got = read(out_, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ended_ = true;
        break;
      }
      size_ = static_cast<std::size_t>(got);
      return true;
    }
    return false;
  }

  // Waits for pdftotext's output until the time a PDF may take has gone;
  // then stops it, and the PDF is named as not read whole.
  bool Ready() {
    pollfd wait{out_, POLLIN, 0};
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline_ - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) {
        kill(child_, SIGKILL);
        timedOut_ = true;
        return false;
      }
      const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left, 60000)));
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  // The end of the pages: a member that failed when pdftotext did.
  std::optional<Member> Finish() {
    if (child_ <= 0) return std::nullopt;
    if (timedOut_) {
      int status = 0;
      waitpid(child_, &status, 0);
      child_ = 0;
      return Member::Failure("", "pdftotext took more than " + std::to_string(seconds_) +
                                     " seconds (the limit on reading a PDF); stopped");
    }
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = 0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
    return Member::Failure("", PdfProblem(status));
  }

  pid_t child_ = 0;
  int out_ = -1;
  unsigned seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool timedOut_ = false;
  int memory_ = -1;
  std::array<char, 65536> buffer_{};
  std::size_t size_ = 0;
  std::size_t given_ = 0;
  std::uint64_t page_ = 0;
  bool pageEnded_ = false;
  bool ended_ = false;
};

}  // namespace

bool CanReadPdf(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
  while (!folders.empty()) {
    const std::size_t colon = folders.find(':');
    const std::string folder(folders.substr(0, colon));
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
  }
  return false;
}

std::unique_ptr<Level> OpenPdf(const Input& input, Walk& walk, std::string& error) {
  auto level = std::make_unique<PdfLevel>();
  if (!level->Start(input, walk.options.pdftotext, walk.options.limits.pdfSeconds, error)) {
    return nullptr;
  }
  return level;
}

}  // namespace mivaro::detail

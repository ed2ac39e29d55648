// SPDX-License-Identifier: Apache-2.0
#include "cli/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/report.h"

namespace mivaro::cli {
namespace {

// The temporary file an interrupt must not leave behind; a signal handler can
// only reach it through a static, and unlink() is safe to call from one.
std::array<char, 4096> g_temporary{};

void RemoveTemporaryAndDie(int signal) {
  if (g_temporary[0] != '\0') unlink(g_temporary.data());
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

constexpr std::array<int, 3> kInterrupts{SIGINT, SIGTERM, SIGHUP};

bool SameFile(int a, int b) {
  struct stat first {};
  struct stat second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && S_ISREG(first.st_mode) &&
         S_ISREG(second.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The permissions a new file gets: the file's own when it exists, else what
// the umask leaves of 0666, as the shell's > would give.
mode_t ModeFor(const std::string& path) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Output goes to the stream in writes of about this size.
constexpr std::size_t kFlushAt = std::size_t{64} * 1024;

}  // namespace

void BufferedOutput::WriteBuffer() {
  if (ok_ && !buffer_.empty() &&
      std::fwrite(buffer_.View().data(), 1, buffer_.size(), stream_) != buffer_.size()) {
    Fail();
  }
  buffer_.clear();
}

void BufferedOutput::Fail() {
  if (ok_) error_ = errno;
  ok_ = false;
}

void BufferedOutput::MaybeFlush() {
  if (buffer_.size() >= kFlushAt) WriteBuffer();
}

bool BufferedOutput::Flush() {
  WriteBuffer();
  if (ok_ && std::fflush(stream_) != 0) Fail();
  return ok_;
}

std::unique_ptr<OutputTarget> OutputTarget::Open(const std::optional<std::string>& path,
                                                 int inputFd, std::FILE* err) {
  if (!path) {
    if (SameFile(inputFd, STDOUT_FILENO)) {
      Report(err,
             "standard output is the input file, which the shell has already emptied; write "
             "with -o FILE instead of > FILE");
      return nullptr;
    }
    return std::unique_ptr<OutputTarget>(new OutputTarget(stdout, "", ""));
  }
  const std::size_t slash = path->rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path->substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? *path : path->substr(slash + 1);
  std::string temporary = folder + "." + name + ".mivaro-XXXXXX";
  if (name.empty() || temporary.size() >= g_temporary.size()) {
    Report(err, "cannot write {}: not a file name", *path);
    return nullptr;
  }
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    Report(err, "cannot write {}: {}", *path, std::strerror(errno));
    return nullptr;
  }
  std::memcpy(g_temporary.data(), temporary.c_str(), temporary.size() + 1);
  for (const int signal : kInterrupts) std::signal(signal, RemoveTemporaryAndDie);
  if (fchmod(fd, ModeFor(*path)) != 0) {
    // Not worth failing for: the file is still written.
  }
  std::FILE* stream = fdopen(fd, "w");
  return std::unique_ptr<OutputTarget>(new OutputTarget(stream, *path, std::move(temporary)));
}

OutputTarget::OutputTarget(std::FILE* stream, std::string path, std::string temporary)
    : stream_(stream), path_(std::move(path)), temporary_(std::move(temporary)) {}

OutputTarget::~OutputTarget() {
  Discard();
}

void OutputTarget::Discard() {
  if (temporary_.empty()) return;
  std::fclose(stream_);
  unlink(temporary_.c_str());
  temporary_.clear();
  g_temporary[0] = '\0';
  for (const int signal : kInterrupts) std::signal(signal, SIG_DFL);
}

int OutputTarget::Finish(int status, std::FILE* err) {
  if (temporary_.empty()) return status;
  if (status == kExitFailure) {
    Discard();
    return status;
  }
  // On disk before it replaces the file, so a crash leaves one or the other.
  const bool written =
      std::fflush(stream_) == 0 && fsync(fileno(stream_)) == 0 && std::fclose(stream_) == 0;
  const int error = errno;
  stream_ = nullptr;
  if (!written || rename(temporary_.c_str(), path_.c_str()) != 0) {
    Report(err, "cannot write {}: {}", path_, std::strerror(written ? errno : error));
    unlink(temporary_.c_str());
    status = kExitFailure;
  }
  temporary_.clear();
  g_temporary[0] = '\0';
  for (const int signal : kInterrupts) std::signal(signal, SIG_DFL);
  return status;
}

int RunFileToOutput(const std::string& file, const std::optional<std::string>& output,
                    const std::function<int(int input, std::FILE* out)>& run) {
  int input = STDIN_FILENO;
  if (file != "-") {
    input = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
      Report(stderr, "cannot open {}: {}", file, std::strerror(errno));
      return kExitFailure;
    }
  }
  int status = kExitFailure;
  if (const auto target = OutputTarget::Open(output, input, stderr)) {
    status = target->Finish(run(input, target->Stream()), stderr);
  }
  if (input != STDIN_FILENO) close(input);
  return status;
}

}  // namespace mivaro::cli

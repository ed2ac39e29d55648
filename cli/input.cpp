// SPDX-License-Identifier: Apache-2.0
#include "cli/input.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mivaro::cli {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsUtf8Name(std::string_view name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "utf-8" || lower == "utf8";
}

}  // namespace

InputReader::InputReader(int fd, std::optional<std::string> encoding)
    : fd_(fd), raw_(kReadBlock + 8) {
  if (encoding && !IsUtf8Name(*encoding)) from_ = std::move(encoding);
}

InputReader::~InputReader() {
  if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
}

bool InputReader::ReadMore() {
  if (raw_.size() - rawSize_ < kReadBlock) raw_.resize(rawSize_ + kReadBlock);
  while (true) {
    const ssize_t got = read(fd_, raw_.data() + rawSize_, kReadBlock);
    if (got > 0) {
      rawSize_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) return false;
    if (errno != EINTR) {
      readErrno_ = errno;
      error_ = std::strerror(errno);
      return false;
    }
  }
}

// Reads enough to tell a byte-order mark, and chooses how to decode.
void InputReader::Start() {
  started_ = true;
  while (rawSize_ < 3 && ReadMore()) {
  }
  if (!error_.empty()) return;
  const std::string_view head(raw_.data(), rawSize_);
  if (!from_) {
    if (head.starts_with("\xFF\xFE")) {
      from_ = "UTF-16LE";
    } else if (head.starts_with("\xFE\xFF")) {
      from_ = "UTF-16BE";
    }
  }
  if (!from_) {
    if (head.starts_with(kUtf8Mark)) {
      byteOrderMark_ = true;
      std::memmove(raw_.data(), raw_.data() + 3, rawSize_ - 3);
      rawSize_ -= 3;
    }
    return;
  }
  converter_ = iconv_open("UTF-8", from_->c_str());
  if (converter_ == reinterpret_cast<iconv_t>(-1)) {
    error_ = fmt::format("no such encoding: {} (see iconv --list)", *from_);
    from_.reset();
  }
}

std::string_view InputReader::Next() {
  if (!started_) Start();
  if (!error_.empty() || ended_) return {};
  if (!from_) {
    // UTF-8: the bytes as they are, without copying.
    if (rawSize_ == 0 && !ReadMore()) {
      ended_ = true;
      return {};
    }
    // Handed out from raw_ itself, which the next call refills.
    const std::string_view piece(raw_.data(), rawSize_);
    rawSize_ = 0;
    return piece;
  }
  while (true) {
    const bool more = rawSize_ >= kReadBlock || ReadMore();
    if (!error_.empty()) return {};
    const std::string_view piece = Convert(!more);
    if (!piece.empty() || !error_.empty()) return piece;
    if (!more) {
      ended_ = true;
      return {};
    }
  }
}

std::string_view InputReader::Convert(bool atEnd) {
  decoded_.resize(rawSize_ * 3 + 16);  // UTF-8 takes at most three bytes per UTF-16 unit
  char* in = raw_.data();
  std::size_t inLeft = rawSize_;
  char* out = decoded_.data();
  std::size_t outLeft = decoded_.size();
  std::size_t result = iconv(converter_, &in, &inLeft, &out, &outLeft);
  while (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
    const std::size_t written = decoded_.size() - outLeft;
    decoded_.resize(decoded_.size() * 2);
    out = decoded_.data() + written;
    outLeft = decoded_.size() - written;
    result = iconv(converter_, &in, &inLeft, &out, &outLeft);
  }
  const std::size_t used = rawSize_ - inLeft;
  if (result == static_cast<std::size_t>(-1) && (errno == EILSEQ || (errno == EINVAL && atEnd))) {
    error_ = fmt::format("byte {}: not {} (choose the encoding with --encoding)",
                         consumed_ + used + 1, *from_);
  }
  consumed_ += used;
  std::memmove(raw_.data(), raw_.data() + used, inLeft);
  rawSize_ = inLeft;
  std::string_view piece(decoded_.data(), decoded_.size() - outLeft);
  // The mark decodes to U+FEFF: it belongs to the file, not its text.
  if (!byteOrderMark_ && consumed_ == used && piece.starts_with(kUtf8Mark)) {
    byteOrderMark_ = true;
    piece.remove_prefix(kUtf8Mark.size());
  }
  return piece;
}

}  // namespace mivaro::cli

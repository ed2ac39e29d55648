// SPDX-License-Identifier: Apache-2.0
// Bytes from somewhere, decoded to UTF-8 a block at a time: the text
// stream under every source, a plain file's and an archive member's alike.
#pragma once

#include <errno.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mivaro/source.h"

namespace mivaro::detail {

inline constexpr std::size_t kBlock = std::size_t{64} * 1024;
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
inline const auto kNoConverter = reinterpret_cast<iconv_t>(-1);

inline bool IsUtf8Name(std::string_view name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "utf-8" || lower == "utf8";
}

// Bytes that grow without being zeroed first: every byte is written before
// it is read, and a block per file or member is too many to clear.
class RawBytes {
 public:
  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }
  void resize(std::size_t size) {
    if (size > capacity_) {
#if defined(__cpp_lib_smart_ptr_for_overwrite)
      auto grown = std::make_unique_for_overwrite<char[]>(size);
#else
      auto grown = std::make_unique<char[]>(size);  // libc++ 14 (the web build): cleared
#endif
      if (size_ != 0) std::memcpy(grown.get(), bytes_.get(), size_);
      bytes_ = std::move(grown);
      capacity_ = size;
    }
    size_ = size;
  }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Where the undecoded bytes come from.
class Bytes {
 public:
  virtual ~Bytes() = default;
  // Reads up to size bytes into to; returns how many, 0 at the end. On
  // failure returns 0 with failed() true and error() saying why.
  virtual std::size_t ReadInto(char* to, std::size_t size) = 0;
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }

 protected:
  void Fail(std::string error) {
    failed_ = true;
    error_ = std::move(error);
  }

 private:
  bool failed_ = false;
  std::string error_;
};

class DescriptorBytes final : public Bytes {
 public:
  explicit DescriptorBytes(int fd) : fd_(fd) {}
  std::size_t ReadInto(char* to, std::size_t size) override {
    while (true) {
      const ssize_t got = read(fd_, to, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) {
        Fail(std::strerror(errno));
        return 0;
      }
    }
  }

 private:
  int fd_;
};

class MemoryBytes final : public Bytes {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  std::size_t ReadInto(char* to, std::size_t size) override {
    const std::size_t taken = std::min(size, bytes_.size());
    if (taken == 0) return 0;  // an empty text may have no bytes at all
    std::memcpy(to, bytes_.data(), taken);
    bytes_.remove_prefix(taken);
    return taken;
  }

 private:
  std::string_view bytes_;
};

// Reads a stream's first block, or all of a shorter stream.
inline RawBytes ReadHead(Bytes& bytes) {
  RawBytes head;
  head.resize(kBlock);
  std::size_t size = 0;
  while (size < head.size()) {
    const std::size_t got = bytes.ReadInto(head.data() + size, head.size() - size);
    if (got == 0) break;
    size += got;
  }
  head.resize(size);
  return head;
}

// A stream's first block, read already, then the rest of it.
class PeekedBytes final : public Bytes {
 public:
  PeekedBytes(RawBytes head, Bytes& rest) : head_(std::move(head)), rest_(rest) {}
  // The first block, as it was read.
  std::string_view Head() const { return head_.view(); }
  std::size_t ReadInto(char* to, std::size_t size) override {
    if (given_ < head_.size()) {
      const std::size_t taken = std::min(size, head_.size() - given_);
      std::memcpy(to, head_.data() + given_, taken);
      given_ += taken;
      return taken;
    }
    const std::size_t got = rest_.ReadInto(to, size);
    if (got == 0 && rest_.failed()) Fail(rest_.error());
    return got;
  }

 private:
  RawBytes head_;
  std::size_t given_ = 0;
  Bytes& rest_;
};

// Writes all of bytes to a descriptor; false when it refuses them.
inline bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Bytes decoded to UTF-8. UTF-8 is read straight into the caller's space;
// other encodings through a block of raw bytes and iconv.
class DecodingStream final : public TextStream {
 public:
  DecodingStream(std::unique_ptr<Bytes> bytes, const SourceOptions& options)
      : bytes_(std::move(bytes)) {
    if (options.encoding && !IsUtf8Name(*options.encoding)) from_ = options.encoding;
  }
  ~DecodingStream() override {
    if (converter_ != kNoConverter) iconv_close(converter_);
  }
  DecodingStream(const DecodingStream&) = delete;
  DecodingStream& operator=(const DecodingStream&) = delete;

  // Reads and decodes the first block, which the next Reads hand out first.
  std::string_view Start() {
    if (started_) return pending_;
    started_ = true;
    raw_.resize(kBlock + 8);
    while (rawSize_ < 3 && ReadRaw()) {
    }
    if (failure_ != ReadFailure::None) return {};
    const std::string_view head(raw_.data(), rawSize_);
    if (!from_ && head.starts_with("\xFF\xFE")) from_ = "UTF-16LE";
    if (!from_ && head.starts_with("\xFE\xFF")) from_ = "UTF-16BE";
    if (!from_) {
      byteOrderMark_ = head.starts_with(kUtf8Mark);
      pending_ = head.substr(byteOrderMark_ ? kUtf8Mark.size() : 0);
      rawSize_ = 0;
      return pending_;
    }
    converter_ = iconv_open("UTF-8", from_->c_str());
    if (converter_ == kNoConverter) {
      Fail(ReadFailure::UnknownEncoding, "no such encoding: " + *from_);
      return {};
    }
    pending_ = Decode(/*atEnd=*/false);
    return pending_;
  }

  std::size_t Read(std::span<char> space) override {
    Start();
    while (pending_.empty() && failure_ == ReadFailure::None && !ended_) {
      if (!from_) {
        // UTF-8: into the caller's space itself, with no copy.
        const std::size_t got = bytes_->ReadInto(space.data(), space.size());
        if (got == 0) EndRaw();
        return got;
      }
      const bool more = rawSize_ >= kBlock || ReadRaw();
      if (failure_ != ReadFailure::None) return 0;
      pending_ = Decode(!more);
      if (pending_.empty() && !more) ended_ = true;
    }
    const std::size_t taken = std::min(space.size(), pending_.size());
    if (taken == 0) return 0;  // ended or failed: pending_ may hold no bytes at all
    std::memcpy(space.data(), pending_.data(), taken);
    pending_.remove_prefix(taken);
    return taken;
  }

  ReadFailure Failure() const override { return failure_; }
  std::string_view Error() const override { return error_; }
  bool ByteOrderMark() const { return byteOrderMark_; }
  const std::optional<std::string>& ConvertedFrom() const { return from_; }

 private:
  void Fail(ReadFailure failure, std::string error) {
    failure_ = failure;
    error_ = std::move(error);
    if (failure == ReadFailure::UnknownEncoding) from_.reset();
  }

  // Marks the end of the raw bytes, or the failure to read them.
  void EndRaw() {
    ended_ = true;
    if (bytes_->failed()) Fail(ReadFailure::Input, bytes_->error());
  }

  // Reads one block into raw_ after what is left there; false at the end.
  bool ReadRaw() {
    if (raw_.size() - rawSize_ < kBlock) raw_.resize(rawSize_ + kBlock);
    const std::size_t got = bytes_->ReadInto(raw_.data() + rawSize_, kBlock);
    if (got == 0) {
      if (bytes_->failed()) Fail(ReadFailure::Input, bytes_->error());
      return false;
    }
    rawSize_ += got;
    return true;
  }

  // Converts what raw_ holds into decoded_; what a block cuts short waits.
  std::string_view Decode(bool atEnd) {
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
      Fail(ReadFailure::Undecodable,
           "byte " + std::to_string(consumed_ + used + 1) + ": not " + *from_);
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

  std::unique_ptr<Bytes> bytes_;
  std::optional<std::string> from_;
  iconv_t converter_ = kNoConverter;
  bool started_ = false;
  bool ended_ = false;
  bool byteOrderMark_ = false;
  RawBytes raw_;               // read, not yet handed out or converted
  std::size_t rawSize_ = 0;    // bytes of raw_ in use
  std::size_t consumed_ = 0;   // bytes converted so far, for messages
  std::vector<char> decoded_;  // converted text
  std::string_view pending_;   // decoded, not yet handed out
  ReadFailure failure_ = ReadFailure::None;
  std::string error_;
};

}  // namespace mivaro::detail

// SPDX-License-Identifier: Apache-2.0
// Sources of text: a file descriptor or bytes in memory, read a block at a
// time and decoded to UTF-8. A byte-order mark says what the bytes are:
// UTF-8 (the mark is taken off), UTF-16LE or UTF-16BE (converted by iconv);
// an encoding the caller names is converted the same way. Without either the
// bytes pass as they are, so bytes that are not UTF-8 reach the rules
// unchanged and are judged there.
#include "mivaro/source.h"

#include "core/decoding_stream.h"

namespace mivaro {

TextStream::~TextStream() = default;
Source::~Source() = default;

namespace {

using detail::DecodingStream;
using detail::DescriptorBytes;
using detail::MemoryBytes;

// A file descriptor's one stream: binary or text.
class DescriptorSource final : public Source {
 public:
  DescriptorSource(int fd, std::string name, const SourceOptions& options)
      : stream_(std::make_unique<DescriptorBytes>(fd), options),
        name_(std::move(name)),
        sniff_(options.sniffBinary) {}

  std::optional<SourceStream> Next() override {
    if (given_) return std::nullopt;
    given_ = true;
    SourceStream next;
    next.name = name_;
    next.text = &stream_;
    const std::string_view first = stream_.Start();
    // A NUL in the first block says binary, as grep has it.
    if (sniff_ && first.find('\0') != std::string_view::npos) {
      next.kind = StreamKind::Binary;
      next.text = nullptr;
    }
    next.byteOrderMark = stream_.ByteOrderMark();
    next.convertedFrom = stream_.ConvertedFrom();
    return next;
  }

 private:
  DecodingStream stream_;
  std::string name_;
  bool sniff_;
  bool given_ = false;
};

}  // namespace

std::unique_ptr<Source> OpenDescriptor(int fd, std::string name, const SourceOptions& options) {
  return std::make_unique<DescriptorSource>(fd, std::move(name), options);
}

std::unique_ptr<TextStream> BytesStream(std::string_view bytes, const SourceOptions& options) {
  return std::make_unique<DecodingStream>(std::make_unique<MemoryBytes>(bytes), options);
}

}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/source.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace mivaro::cli {

// How much input the bulk commands read at a time.
inline constexpr std::size_t kReadBlock = std::size_t{64} * 1024;

// Returns why a stream could not be read to its end, as mivaro-cli says it:
// the library's words, and how to choose another encoding where that is the
// remedy; "" while it can be read.
std::string ReadProblem(const TextStream& stream);

// Reads a command's input from a file descriptor a block at a time, as
// UTF-8, through the library's source: a byte-order mark or an encoding the
// user names decides how it is decoded; without either the bytes pass as
// they are, so bytes that are not UTF-8 reach the caller unchanged.
class InputReader {
 public:
  // encoding: the one the user named, or none to go by the byte-order mark.
  explicit InputReader(int fd, std::optional<std::string> encoding = std::nullopt);

  // Returns the next piece of the input as UTF-8, valid until the next call;
  // empty at the end, or once reading or decoding failed (then Error() says
  // why).
  std::string_view Next();

  // Why the input could not be read, or "" while it could.
  std::string Error() const { return ReadProblem(*stream_.text); }
  // Whether the input began with a byte-order mark, in whatever encoding.
  bool HadByteOrderMark() const { return stream_.byteOrderMark; }
  // The encoding the input was converted from, or none for UTF-8.
  const std::optional<std::string>& ConvertedFrom() const { return stream_.convertedFrom; }

 private:
  std::unique_ptr<Source> source_;
  SourceStream stream_;
  std::unique_ptr<char[]> block_;
};

}  // namespace mivaro::cli

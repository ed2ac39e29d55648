// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivaro::cli {

// How much input the bulk commands read at a time.
inline constexpr std::size_t kReadBlock = std::size_t{64} * 1024;

// Reads a command's input from a file descriptor, a block at a time, as
// UTF-8. A byte-order mark says what the input is: UTF-8 (the mark is taken
// off), UTF-16LE or UTF-16BE (converted); an encoding the user names (any
// that iconv knows) is converted the same way. Without either, the bytes pass
// as they are, so bytes that are not UTF-8 reach the caller unchanged.
class InputReader {
 public:
  // encoding: the one the user named, or none to go by the byte-order mark.
  explicit InputReader(int fd, std::optional<std::string> encoding = std::nullopt);
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Returns the next piece of the input as UTF-8; empty at the end, or once
  // reading or converting failed (then Error() says why).
  std::string_view Next();

  // Why the input could not be read, or "" while it could.
  const std::string& Error() const { return error_; }
  // The errno of a failed read, for the message; 0 for a conversion error.
  int ReadErrno() const { return readErrno_; }

  // Whether the input began with a byte-order mark, in whatever encoding.
  bool HadByteOrderMark() const { return byteOrderMark_; }
  // The encoding the input was converted from, or none for UTF-8.
  const std::optional<std::string>& ConvertedFrom() const { return from_; }

 private:
  // Reads one block into raw_ after what is left there; false at the end.
  bool ReadMore();
  void Start();
  std::string_view Convert(bool atEnd);

  int fd_;
  std::optional<std::string> from_;
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
  bool started_ = false;
  bool ended_ = false;
  bool byteOrderMark_ = false;
  std::vector<char> raw_;      // read, not yet handed out or converted
  std::size_t rawSize_ = 0;    // bytes of raw_ in use
  std::size_t consumed_ = 0;   // input bytes converted so far, for messages
  std::vector<char> decoded_;  // the last piece handed out, when converted
  std::string error_;
  int readErrno_ = 0;
};

}  // namespace mivaro::cli

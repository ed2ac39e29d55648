// SPDX-License-Identifier: Apache-2.0
#include "cli/input.h"

namespace mivaro::cli {

std::string ReadProblem(const TextStream& stream) {
  std::string problem(stream.Error());
  switch (stream.Failure()) {
    case ReadFailure::Undecodable:
      problem += " (choose the encoding with --encoding)";
      break;
    case ReadFailure::UnknownEncoding:
      problem += " (see iconv --list)";
      break;
    case ReadFailure::Input:
    case ReadFailure::None:
      break;
  }
  return problem;
}

InputReader::InputReader(int fd, std::optional<std::string> encoding)
    : source_(OpenDescriptor(fd, "-", {.encoding = std::move(encoding), .sniffBinary = false})),
      stream_(*source_->Next()),
      block_(std::make_unique_for_overwrite<char[]>(kReadBlock)) {}

std::string_view InputReader::Next() {
  return {block_.get(), stream_.text->Read({block_.get(), kReadBlock})};
}

}  // namespace mivaro::cli

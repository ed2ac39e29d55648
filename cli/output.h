// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/text_buffer.h"

namespace mivaro::cli {

class BufferedOutput {
 public:
  explicit BufferedOutput(std::FILE* stream) : stream_(stream) {}
  virtual ~BufferedOutput() = default;
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  TextBuffer& Buffer() { return buffer_; }

  // Writes the buffer out once it has grown past a block.
  void MaybeFlush();

  // Sends everything buffered to the stream; returns Ok().
  bool Flush();
  bool Ok() const { return ok_; }
  // The errno of the write that failed first; 0 while Ok().
  int Error() const { return error_; }

 private:
  void WriteBuffer();
  void Fail();

  std::FILE* stream_;
  TextBuffer buffer_;
  bool ok_ = true;
  int error_ = 0;
};

// Where a command writes its results: standard output, or with -o a file,
// written beside its final place and put there only when the run succeeds,
// so that a run that fails half way leaves the file as it was and no
// temporary file behind (an interrupt included).
class OutputTarget {
 public:
  // Opens standard output, or a temporary file beside path. Refuses (with a
  // message, returning null) standard output that is the input file itself,
  // which the shell has emptied, and a path that cannot be written.
  static std::unique_ptr<OutputTarget> Open(const std::optional<std::string>& path, int inputFd,
                                            std::FILE* err);
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  std::FILE* Stream() const { return stream_; }

  // Ends the run with its exit status: a finished run (0 or 1) puts the file
  // in place, a failed one (2) removes it. Returns the final status, 2 when
  // the file could not be put in place.
  int Finish(int status, std::FILE* err);

 private:
  OutputTarget(std::FILE* stream, std::string path, std::string temporary);
  void Discard();

  std::FILE* stream_;
  std::string path_;       // empty for standard output
  std::string temporary_;  // where the file is written until it is put in place
};

// Runs a command that reads FILE (standard input for "-") and writes to
// standard output or -o: opens both, runs run(input, out) and puts the output
// in place as its status says. Returns the exit status.
int RunFileToOutput(const std::string& file, const std::optional<std::string>& output,
                    const std::function<int(int input, std::FILE* out)>& run);

}  // namespace mivaro::cli

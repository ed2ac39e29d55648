// SPDX-License-Identifier: Apache-2.0
// Runs the installed-to-be mivaro-cli as a child process, through real pipes and
// files, for the tests that hold it to what a user sees.
#pragma once

#include <string>
#include <vector>

namespace mivaro::testing {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
  long peakKilobytes = 0;
};

// Stands for standard output as a pipe whose reader has gone away.
inline const std::string kClosedPipe = "<closed pipe>";

std::string ReadFile(const std::string& path);

// A path unique to this test process: CTest runs tests in parallel, each in its
// own process.
std::string TempPath(const std::string& name);

// Writes the content to TempPath(name) and returns that path.
std::string WriteTemp(const std::string& name, const std::string& content);

// Runs mivaro-cli with the arguments, standard input from a file and standard
// output to a file (both /dev/... paths allowed) or to kClosedPipe. A run that
// has not ended after a minute is killed and fails the test.
RunResult RunCli(const std::vector<std::string>& args, const std::string& inputPath = "/dev/null",
                 const std::string& outputPath = TempPath("stdout"));

// What a shell command prints on its standard output.
std::string Printed(const std::string& command);

// scan --json's lines with each fingerprint, which depends on where the
// file lies, written "{fp}".
std::string WithoutFingerprints(std::string out);

// The text's lines, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

}  // namespace mivaro::testing

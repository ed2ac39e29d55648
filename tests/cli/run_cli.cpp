// SPDX-License-Identifier: Apache-2.0
#include "run_cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <fstream>
#include <sstream>

extern char** environ;

namespace mivaro::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "mivaro-cli-" + std::to_string(getpid()) + "-" + name;
}

std::string WriteTemp(const std::string& name, const std::string& content) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

RunResult RunCli(const std::vector<std::string>& args, const std::string& inputPath,
                 const std::string& outputPath) {
  const std::string errorPath = TempPath("stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
  std::array<int, 2> pipeEnds{-1, -1};
  if (outputPath == kClosedPipe) {
    if (pipe(pipeEnds.data()) != 0) ADD_FAILURE() << "cannot make a pipe";
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(MIVARO_CLI_PATH)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  RunResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, MIVARO_CLI_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  for (const int end : pipeEnds) {
    if (end >= 0) close(end);  // the reader goes away at once
  }
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << MIVARO_CLI_PATH;
    return result;
  }
  int status = 0;
  rusage usage{};
  for (int waited = 0; wait4(pid, &status, WNOHANG, &usage) == 0; ++waited) {
    if (waited == 60 * 100) {
      ADD_FAILURE() << "mivaro-cli was still running after a minute";
      kill(pid, SIGKILL);
    }
    usleep(10'000);
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.peakKilobytes = usage.ru_maxrss;
  if (outputPath.rfind("/dev/", 0) != 0 && outputPath != kClosedPipe) {
    result.out = ReadFile(outputPath);
  }
  result.err = ReadFile(errorPath);
  return result;
}

std::string Printed(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char block[4096];
    while (const std::size_t got = std::fread(block, 1, sizeof block, pipe)) out.append(block, got);
    pclose(pipe);
  }
  return out;
}

std::string WithoutFingerprints(std::string out) {
  const std::string field = "\"fingerprint\":\"";
  for (std::size_t at = out.find(field); at != std::string::npos; at = out.find(field, at + 1)) {
    const std::size_t start = at + field.size();
    out.replace(start, out.find('"', start) - start, "{fp}");
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace mivaro::testing

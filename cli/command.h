// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <CLI/CLI.hpp>
#include <memory>

namespace mivaro::cli {

// One mivaro-cli command: it registers its options on its own subcommand,
// checks them as they are parsed (a bad value is a CLI::ValidationError, which
// main reports like any usage error), and runs when it was chosen.
class Command {
 public:
  virtual ~Command() = default;
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  // Returns whether the command line chose this command.
  bool Chosen() const { return command_->parsed(); }

  // Runs the command with its parsed options and returns the exit status.
  virtual int Run() = 0;

 protected:
  explicit Command(CLI::App* command) : command_(command) {}

  CLI::App* command_;
};

// The commands, each adding itself to the application.
std::unique_ptr<Command> AddValidate(CLI::App& app);
std::unique_ptr<Command> AddAnnotate(CLI::App& app);
std::unique_ptr<Command> AddGenerate(CLI::App& app);
std::unique_ptr<Command> AddScan(CLI::App& app);
std::unique_ptr<Command> AddRedact(CLI::App& app);

}  // namespace mivaro::cli

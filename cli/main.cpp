// SPDX-License-Identifier: Apache-2.0
// mivaro-cli: Mivaro's number rules on the command line, for scripts, data
// cleaning and test fixtures. Each command lives in its own file.
#include <mivaro/sin.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/report.h"

namespace {

constexpr char kDescription[] =
    "Validate and generate Canadian Social Insurance Numbers (SINs), check the SIN column "
    "of CSV tables, and find and redact SINs in free text.\n"
    "Exit status: 0 when every entry is valid (scan: a SIN was found), 1 when any is invalid "
    "or malformed (scan: none was found), 2 for a usage error, unreadable input, unwritable "
    "output or a broken table.";

// Writes what --help or --version asked for to standard output; a refused
// write is status 2, as for results.
int PrintHelpOrVersion(const CLI::App& app, const CLI::ParseError& request) {
  std::ostringstream text;
  std::ostringstream ignored;
  app.exit(request, text, ignored);
  const std::string shown = text.str();
  if (std::fwrite(shown.data(), 1, shown.size(), stdout) != shown.size() ||
      std::fflush(stdout) != 0) {
    const bool version = dynamic_cast<const CLI::CallForVersion*>(&request) != nullptr;
    return mivaro::cli::ReportWriteFailure(stderr, errno, version ? "the version" : "the help");
  }
  return mivaro::cli::kExitAllValid;
}

int Main(int argc, char** argv) {
  CLI::App app(kDescription, "mivaro-cli");
  app.set_version_flag("--version", std::string(mivaro::Version()));
  app.require_subcommand(1);
  std::vector<std::unique_ptr<mivaro::cli::Command>> commands;
  commands.push_back(mivaro::cli::AddValidate(app));
  commands.push_back(mivaro::cli::AddAnnotate(app));
  commands.push_back(mivaro::cli::AddGenerate(app));
  commands.push_back(mivaro::cli::AddScan(app));
  commands.push_back(mivaro::cli::AddRedact(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return PrintHelpOrVersion(app, error);
    if (argc > 1 && argv[1][0] != '-' && app.get_subcommands().empty()) {
      mivaro::cli::Report(
          stderr, "unknown command '{}' (expected validate, annotate, generate, scan or redact)",
          argv[1]);
    } else {
      mivaro::cli::Report(stderr, "{} (see mivaro-cli --help)", error.what());
    }
    return mivaro::cli::kExitFailure;
  }
  for (const auto& command : commands) {
    if (command->Chosen()) return command->Run();
  }
  return mivaro::cli::kExitFailure;  // require_subcommand makes this unreachable
}

}  // namespace

int main(int argc, char** argv) {
  // Archives carry local times: with TZ unset, glibc looks at /etc/localtime
  // again for each, four times per zip member. Named once, it is read once.
  setenv("TZ", ":/etc/localtime", /*overwrite=*/0);
  // Whatever goes wrong, the user gets one line and status 2, never an abort
  // or a bare exception name.
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    mivaro::cli::Report(stderr, "out of memory");
  } catch (const std::exception& error) {
    mivaro::cli::Report(stderr, error.what());
  } catch (...) {
    mivaro::cli::Report(stderr, "unexpected error");
  }
  return mivaro::cli::kExitFailure;
}

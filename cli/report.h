// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <fmt/format.h>

#include <cstdio>
#include <string_view>
#include <utility>

namespace mivaro::cli {

// Exit statuses of mivaro-cli.
inline constexpr int kExitAllValid = 0;
inline constexpr int kExitNotAllValid = 1;  // an entry was invalid or malformed
inline constexpr int kExitFailure = 2;      // a usage error, unreadable input, unwritable output
// ... and of scan: whether it found a SIN.
inline constexpr int kExitFound = 0;
inline constexpr int kExitNoneFound = 1;

// Writes one message to the user: "mivaro-cli: ", the message on one line,
// with whatever it quotes (options, file names, cells) escaped so that no
// control character reaches the terminal.
void Report(std::FILE* err, std::string_view message);

template <typename... Args>
void Report(std::FILE* err, fmt::format_string<Args...> format, Args&&... args) {
  Report(err, std::string_view(fmt::format(format, std::forward<Args>(args)...)));
}

// Reports an output that refused a write, with its errno, and returns the
// exit status. A reader that has gone away (a closed pipe, as after "| head")
// is no error worth a word.
int ReportWriteFailure(std::FILE* err, int error, std::string_view what);

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reading a word from a table of names, with the refusal every front end
// shows: unknown style "wide" (expected bare, spaced or dashed).

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mivaro::detail {

// Returns names written as a list: "bare, spaced or dashed".
inline std::string NameList(std::span<const std::string_view> names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) list += i + 1 == names.size() ? " or " : ", ";
    list += names[i];
  }
  return list;
}

// Returns the index of name among names, or nothing, saying in error that it
// is an unknown one of what.
inline std::optional<std::size_t> FindName(std::span<const std::string_view> names,
                                           std::string_view name, std::string_view what,
                                           std::string& error) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  error = "unknown " + std::string(what) + " \"" + std::string(name) + "\" (expected " +
          NameList(names) + ")";
  return std::nullopt;
}

}  // namespace mivaro::detail

// SPDX-License-Identifier: Apache-2.0
// What a team tells scan to leave out: numbers it publishes on purpose (an
// allow-list) and findings an earlier run reported (a baseline).
#pragma once

#include <mivaro/sin.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace mivaro::cli {

class FindingsFilter {
 public:
  // Reads an allow-list: one number a line in any written form, "#" to the
  // line's end a comment. False, saying why, for a line that is no number.
  bool LoadAllowList(const std::string& path, std::string& error);
  // Reads a baseline: the report of an earlier run, scan --json's lines or
  // scan --sarif's log. False, saying why, when it is neither.
  bool LoadBaseline(const std::string& path, std::string& error);

  bool Allows(const Number& number) const { return allowed_.contains(AsInteger(number)); }
  bool HasBaseline() const { return !baseline_.empty(); }
  bool InBaseline(const std::string& fingerprint) const { return baseline_.contains(fingerprint); }

 private:
  static std::uint32_t AsInteger(const Number& number) {
    std::uint32_t value = 0;
    for (const char digit : number) value = value * 10 + static_cast<std::uint32_t>(digit - '0');
    return value;
  }

  std::unordered_set<std::uint32_t> allowed_;
  std::unordered_set<std::string> baseline_;
};

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
#pragma once

// Writes a generated file (a manual page, the SQL script, the Python type
// stubs) from its template, so that the facts whose home is the library are
// filled in rather than typed again beside it.

#include <span>
#include <string>
#include <string_view>

namespace mivaro::tools {

// A placeholder of a template ("@KEYWORDS@") and what it stands for.
struct Fact {
  std::string_view placeholder;
  std::string value;
};

// Reads the template at argv[1], replaces every placeholder by its fact and
// writes the result to argv[2]. A fact whose placeholder the template lacks,
// or a placeholder left without a fact, fails the build: both mean the
// template and its generator have drifted apart. Returns the exit status, and
// says what went wrong on standard error.
int FillTemplate(int argc, char** argv, std::span<const Fact> facts);

// Joins words as a list: each quoted with quote, between them separator.
std::string JoinQuoted(std::span<const std::string_view> words, std::string_view quote,
                       std::string_view separator);

}  // namespace mivaro::tools

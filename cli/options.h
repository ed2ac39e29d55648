// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mivaro/files.h>
#include <mivaro/scan.h>
#include <mivaro/sin.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/records.h"

namespace mivaro::cli {

// Reads a decimal whole number from min to max (leading zeros allowed; no
// sign, blanks or other bases); on failure returns nothing and says why in
// error.
std::optional<std::uint64_t> ParseWholeNumber(std::string_view text, std::uint64_t min,
                                              std::uint64_t max, std::string& error);

// Adds an option whose text a parse function turns into a value for target:
// parse(text, error) returns the value, or nothing and says why in error,
// which refuses the command line.
template <typename T, typename Parse>
CLI::Option* AddParsedOption(CLI::App* command, const std::string& name, T& target,
                             const Parse& parse, const std::string& help) {
  return command->add_option_function<std::string>(
      name,
      [&target, parse, name](const std::string& text) {
        std::string error;
        auto value = parse(text, error);
        if (!value) throw CLI::ValidationError(name, error);
        target = std::move(*value);
      },
      help);
}

// The type an option fills in: T itself, or the T of a std::optional<T>.
template <typename T>
struct OptionValue {
  using type = T;
};
template <typename T>
struct OptionValue<std::optional<T>> {
  using type = T;
};

// Adds an option that takes a decimal whole number from min to max. Numbers
// are read as text: CLI11 would read "010" as octal, wrap "-1" and saturate
// values past 2^64 - 1.
template <typename T>
CLI::Option* AddWholeNumberOption(CLI::App* command, const std::string& name, T& target,
                                  std::uint64_t min, std::uint64_t max, const std::string& help) {
  using Value = typename OptionValue<T>::type;
  const auto parse = [min, max](std::string_view text, std::string& error) -> std::optional<Value> {
    const auto value = ParseWholeNumber(text, min, max, error);
    if (!value) return std::nullopt;
    return static_cast<Value>(*value);
  };
  return AddParsedOption(command, name, target, parse, help)->type_name("N");
}

// The mutually exclusive --json and --csv flags of one command.
struct RecordFormatFlags {
  bool json = false;
  bool csv = false;

  void AddTo(CLI::App* command, const std::string& jsonHelp, const std::string& csvHelp);
  std::optional<RecordFormat> Chosen() const;
};

// Adds --format bare|spaced|dashed, read into style.
void AddStyleOption(CLI::App* command, Style& style, const std::string& help);

// Adds -o/--output FILE: the results go to a temporary file beside FILE,
// which replaces FILE when the run succeeds.
void AddOutputOption(CLI::App* command, std::optional<std::string>& path);

// Adds --encoding NAME, the input's encoding (any name iconv knows).
void AddEncodingOption(CLI::App* command, std::optional<std::string>& encoding);

// Adds --min-confidence low|medium|high, the least a match reported has.
void AddConfidenceOption(CLI::App* command, Confidence& minimum);

// Adds the limits on what an opened file may expand to: --max-depth,
// --max-member-size, --max-ratio, --max-members, --max-memory, and on the
// time a PDF may take, --max-pdf-seconds.
void AddLimitOptions(CLI::App* command, OpenLimits& limits);

}  // namespace mivaro::cli

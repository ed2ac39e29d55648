// SPDX-License-Identifier: Apache-2.0
#include "cli/options.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <span>
#include <vector>

namespace mivaro::cli {
namespace {

// "low, medium, high" for --help.
std::string Joined(std::span<const std::string_view> names) {
  std::string joined;
  for (const std::string_view name : names) {
    if (!joined.empty()) joined += ", ";
    joined += name;
  }
  return joined;
}

}  // namespace

std::optional<std::uint64_t> ParseWholeNumber(std::string_view text, std::uint64_t min,
                                              std::uint64_t max, std::string& error) {
  std::uint64_t value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  const bool whole =
      !text.empty() && end == text.data() + text.size() && status != std::errc::invalid_argument;
  if (!whole) {
    error = fmt::format("'{}' is not a whole number (expected {} to {})", text, min, max);
    return std::nullopt;
  }
  if (status == std::errc::result_out_of_range || value < min || value > max) {
    error = fmt::format("{} is out of range (expected {} to {})", text, min, max);
    return std::nullopt;
  }
  return value;
}

void RecordFormatFlags::AddTo(CLI::App* command, const std::string& jsonHelp,
                              const std::string& csvHelp) {
  CLI::Option* jsonFlag = command->add_flag("--json", json, jsonHelp);
  command->add_flag("--csv", csv, csvHelp)->excludes(jsonFlag);
}

std::optional<RecordFormat> RecordFormatFlags::Chosen() const {
  if (json) return RecordFormat::Json;
  if (csv) return RecordFormat::Csv;
  return std::nullopt;
}

void AddStyleOption(CLI::App* command, Style& style, const std::string& help) {
  const std::vector<std::string> names(kStyleNames.begin(), kStyleNames.end());
  command
      ->add_option_function<std::string>(
          "--format",
          [&style](const std::string& name) {
            const auto named = std::find(kStyleNames.begin(), kStyleNames.end(), name);
            style = static_cast<Style>(named - kStyleNames.begin());
          },
          help)
      ->check(CLI::IsMember(names));
}

void AddOutputOption(CLI::App* command, std::optional<std::string>& path) {
  command
      ->add_option("-o,--output", path,
                   "Write to FILE instead of standard output: to a temporary file beside it, "
                   "which takes its place only when the run succeeds, so FILE may be the input")
      ->type_name("FILE");
}

void AddEncodingOption(CLI::App* command, std::optional<std::string>& encoding) {
  command
      ->add_option("--encoding", encoding,
                   "The input's encoding, any name iconv knows, such as cp1252 or latin1 "
                   "(default: UTF-8, or UTF-16 when a byte-order mark says so)")
      ->type_name("NAME");
}

void AddConfidenceOption(CLI::App* command, Confidence& minimum) {
  const std::vector<std::string> names(kConfidenceNames.begin(), kConfidenceNames.end());
  command
      ->add_option_function<std::string>(
          "--min-confidence",
          [&minimum](const std::string& name) {
            std::string error;  // IsMember has let only the names through
            minimum = *ParseConfidence(name, error);
          },
          "Report matches of at least this confidence: " + Joined(kConfidenceNames) +
              " (default: " + std::string(ConfidenceName(kDefaultConfidence)) + ")")
      ->check(CLI::IsMember(names));
}

void AddLimitOptions(CLI::App* command, OpenLimits& limits) {
  const std::string group = "Limits on opening files";
  const auto mebibytes = [](std::uint64_t& bytes) {
    return [&bytes](std::uint64_t value) { bytes = value << 20; };
  };
  const OpenLimits defaults;
  command
      ->add_option("--max-depth", limits.depth,
                   "Open containers nested at most this deep, the file given being the first")
      ->default_val(defaults.depth)
      ->check(CLI::Range(1u, 64u))
      ->group(group);
  command
      ->add_option_function<std::uint64_t>("--max-member-size", mebibytes(limits.memberBytes),
                                           "Read at most this many MiB of one member, expanded")
      ->default_str(std::to_string(defaults.memberBytes >> 20))
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 20))
      ->type_name("MIB")
      ->group(group);
  command
      ->add_option("--max-ratio", limits.ratio,
                   "Stop a container that expands to more than this many times its packed "
                   "size, once past " +
                       std::to_string(defaults.ratioFrom >> 20) + " MiB")
      ->default_val(defaults.ratio)
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1000000}))
      ->group(group);
  command
      ->add_option("--max-members", limits.members,
                   "Read at most this many members of a file's containers, in all")
      ->default_val(defaults.members)
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 40))
      ->group(group);
  command
      ->add_option("--max-pdf-seconds", limits.pdfSeconds,
                   "Stop reading a PDF's text (pdftotext) after this many seconds")
      ->default_val(defaults.pdfSeconds)
      ->check(CLI::Range(1u, 86400u))
      ->group(group);
  command
      ->add_option_function<std::uint64_t>("--max-memory", mebibytes(limits.memory),
                                           "Hold at most this many MiB for opening one file")
      ->default_str(std::to_string(defaults.memory >> 20))
      ->check(CLI::Range(std::uint64_t{16}, std::uint64_t{1} << 20))
      ->type_name("MIB")
      ->group(group);
}

}  // namespace mivaro::cli

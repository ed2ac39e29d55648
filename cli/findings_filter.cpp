// SPDX-License-Identifier: Apache-2.0
// Baselines are JSON, read with nlohmann/json (MIT, header-only, Debian's
// nlohmann-json3-dev): a SARIF log whole, or JSON Lines a line at a time.
#include "cli/findings_filter.h"

#include <fmt/format.h>
#include <mivaro/scan.h>

#include <fstream>
#include <nlohmann/json.hpp>

namespace mivaro::cli {
namespace {

// Where scan puts its fingerprint in a SARIF result.
constexpr std::string_view kSarifFingerprint = "mivaro/v1";

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = fmt::format("cannot open {}", path);
    return false;
  }
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) error = fmt::format("cannot read {}", path);
  return !in.bad();
}

}  // namespace

bool FindingsFilter::LoadAllowList(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadFile(path, text, error)) return false;
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    line = line.substr(0, line.find('#'));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty()) continue;
    // Written as scan finds it (with dots or dashes too), or as an entry.
    const std::vector<Match> found = Find(line, Confidence::Low);
    const Result checked = Check(line);
    if (found.size() == 1 && found[0].offset == 0 && found[0].length == line.size()) {
      allowed_.insert(AsInteger(found[0].number));
    } else if (checked.WellFormed()) {
      allowed_.insert(AsInteger(checked.number));
    } else {
      error = fmt::format("{}:{}: not a number of nine digits: {}", path, lineNumber,
                          ErrorText(checked.error));
      return false;
    }
  }
  return true;
}

bool FindingsFilter::LoadBaseline(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadFile(path, text, error)) return false;
  const auto bad = [&](std::string_view why) {
    error = fmt::format("{}: not a report of scan --json or --sarif: {}", path, why);
    return false;
  };
  nlohmann::json log = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (log.is_object() && log.contains("runs")) {
    for (const auto& run : log["runs"]) {
      if (!run.is_object() || !run.contains("results")) continue;
      for (const auto& result : run["results"]) {
        const auto prints = result.find("partialFingerprints");
        if (prints == result.end() || !prints->contains(kSarifFingerprint)) continue;
        const auto& print = (*prints)[std::string(kSarifFingerprint)];
        if (print.is_string()) baseline_.insert(print.get<std::string>());
      }
    }
    return true;
  }
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (!record.is_object()) return bad(fmt::format("line {} is not a JSON object", lineNumber));
    const auto print = record.find("fingerprint");
    if (print == record.end() || !print->is_string()) {
      return bad(fmt::format("line {} has no fingerprint", lineNumber));
    }
    baseline_.insert(print->get<std::string>());
  }
  return true;
}

}  // namespace mivaro::cli

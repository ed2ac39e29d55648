// SPDX-License-Identifier: Apache-2.0
// scan --sarif: a SARIF 2.1.0 log that code-scanning dashboards read, one
// run with a rule per confidence, written result by result as they are
// found. No digit of a number goes into it: not in a message, a snippet or
// a fingerprint.
#include <fmt/format.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "cli/escape.h"
#include "cli/match_writer.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

struct Rule {
  std::string_view id;
  std::string_view name;
  std::string_view level;  // SARIF's, for the dashboards' severity
  std::string_view summary;
  std::string_view help;
};

// One rule per confidence, in the order of Confidence (low first).
constexpr std::array<Rule, 3> kRules{{
    {"sin/low", "SinLowConfidence", "note",
     "Nine digits that pass the SIN check, with nothing saying they are one",
     "Nine digits in a row that pass the Social Insurance Number check, or a number that "
     "starts with 8, with no word naming a SIN nearby. Many other numbers pass the check by "
     "chance: look at it, and add it to an allow-list (--allow) if it is not a SIN."},
    {"sin/medium", "SinMediumConfidence", "warning",
     "A number written as a SIN is written, that passes the SIN check",
     "Nine digits grouped three by three, as SINs are written, that pass the Social Insurance "
     "Number check. It is likely a person's SIN: remove it or redact it (mivaro-cli redact). "
     "If it was committed, it stays in the history: rewrite the history, or treat the number "
     "as exposed."},
    {"sin/high", "SinHighConfidence", "error",
     "A SIN named as one, by a keyword or a table's SIN column",
     "A number that passes the Social Insurance Number check next to a word that names it "
     "(SIN, NAS, social insurance, assurance sociale) or in a table's SIN column: almost "
     "surely a person's SIN. Remove it or redact it (mivaro-cli redact). If it was "
     "committed, it stays in the history: rewrite the history, or treat the number as "
     "exposed."},
}};

const Rule& RuleOf(Confidence confidence) {
  return kRules[static_cast<std::size_t>(confidence) - 1];
}

// A path as a relative URI reference: its bytes outside the unreserved set
// and '/' percent-encoded.
void AppendUri(TextBuffer& out, std::string_view path) {
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += c;
    } else {
      fmt::format_to(std::back_inserter(out), "%{:02X}", byte);
    }
  }
}

}  // namespace

void MatchWriter::BeginReport() {
  if (!options_.sarif) return;
  TextBuffer& out = Buffer();
  out += R"({"$schema":"https://json.schemastore.org/sarif-2.1.0.json","version":"2.1.0",)"
         R"("runs":[{"tool":{"driver":{"name":"mivaro-cli","semanticVersion":")"sv;
  out += Version();
  out += R"(","rules":[)"sv;
  for (std::size_t i = 0; i < kRules.size(); ++i) {
    const Rule& rule = kRules[i];
    fmt::format_to(std::back_inserter(out),
                   R"({}{{"id":"{}","name":"{}","shortDescription":{{"text":"{}"}},)"
                   R"("help":{{"text":"{}"}},"defaultConfiguration":{{"level":"{}"}}}})",
                   i == 0 ? "" : ",", rule.id, rule.name, rule.summary, rule.help, rule.level);
  }
  out += R"(]}},"columnKind":"unicodeCodePoints","originalUriBaseIds":{"SRCROOT":{"uri":")"sv;
  std::error_code error;
  const std::string here = std::filesystem::current_path(error).string();
  out += "file://"sv;
  AppendUri(out, here.ends_with('/') ? here : here + "/");
  out += R"("}},"results":[)"sv;
}

void MatchWriter::WriteSarif(const Found& found, const Place& place, std::string_view fingerprint) {
  const Match& match = found.match;
  const Rule& rule = RuleOf(match.confidence);
  TextBuffer& out = Buffer();
  out += results_++ == 0 ? "{"sv : ",{"sv;
  fmt::format_to(std::back_inserter(out), R"("ruleId":"{}","ruleIndex":{},"level":"{}",)", rule.id,
                 static_cast<int>(match.confidence) - 1, rule.level);
  out += R"("message":{"text":"A Social Insurance Number, )"sv;
  out += ConfidenceName(match.confidence);
  out += " confidence"sv;
  if (!match.keyword.empty()) {
    out += R"(: \")"sv;
    AppendJsonEscaped(out, match.keyword);
    out += R"(\")"sv;
  }
  out += R"(."},"locations":[{"physicalLocation":{"artifactLocation":{"uri":")"sv;
  AppendUri(out, ReportPath(path_));
  out += R"(","uriBaseId":"SRCROOT"})"sv;
  // A region counts in the file's own text; inside a container, or in text
  // decoded from another encoding, the place is said in the properties.
  // A commit's lines are its version's: they have lines but no offsets.
  const bool lines = place.kind == PlaceKind::Line && (container_->size() == 1 || !commit_.empty());
  if (lines && (asIs_ || !commit_.empty())) {
    fmt::format_to(std::back_inserter(out),
                   R"(,"region":{{"startLine":{},"startColumn":{},"endColumn":{})", found.line,
                   found.column.codePoints,
                   found.column.codePoints + (found.end.codePoints - found.start.codePoints));
    if (asIs_) {
      fmt::format_to(std::back_inserter(out), R"(,"byteOffset":{},"byteLength":{})", match.offset,
                     match.length);
    }
    out += '}';
  }
  out += '}';
  if (container_->size() > 1 || place.kind != PlaceKind::Line) {
    out += R"(,"logicalLocations":[{"fullyQualifiedName":")"sv;
    AppendJsonEscaped(out, name_);
    out += R"(","kind":"member"}])"sv;
  }
  out += R"(}],"partialFingerprints":{"mivaro/v1":")"sv;
  out += fingerprint;
  out += R"("},"properties":{"confidence":")"sv;
  out += ConfidenceName(match.confidence);
  if (!commit_.empty()) {
    out += R"(","commit":")"sv;
    out += commit_;
    out += R"(","date":")"sv;
    out += date_;
  }
  out += R"(","container":)"sv;
  AppendContainer(out);
  out += R"(,"where":)"sv;
  AppendWhere(out, found, place);
  out += "}}\n"sv;
}

void MatchWriter::EndReport(bool successful, const std::vector<std::string>& notes) {
  if (!options_.sarif) return;
  TextBuffer& out = Buffer();
  fmt::format_to(std::back_inserter(out), R"(],"invocations":[{{"executionSuccessful":{})",
                 successful ? "true" : "false");
  if (!notes.empty()) {
    out += R"(,"toolExecutionNotifications":[)"sv;
    for (std::size_t i = 0; i < notes.size(); ++i) {
      out += i == 0 ? R"({"level":"error","message":{"text":")"sv
                    : R"(,{"level":"error","message":{"text":")"sv;
      AppendJsonEscaped(out, notes[i]);
      out += R"("}})"sv;
    }
    out += ']';
  }
  out += "}]}]}\n"sv;
  MaybeFlush();
}

}  // namespace mivaro::cli

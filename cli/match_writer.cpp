// SPDX-License-Identifier: Apache-2.0
#include "cli/match_writer.h"

#include <fmt/format.h>

#include "cli/escape.h"

namespace mivaro::cli {

using namespace std::string_view_literals;

void MatchWriter::BeginText(const std::vector<std::string>& container, Locator* locator,
                            bool asIs) {
  container_ = &container;
  name_ = JoinContainer(container);
  locator_ = locator;
  asIs_ = asIs;
  seen_.clear();
}

std::string MatchWriter::FingerprintOf(const Found& found, const Place& place) {
  const std::uint64_t key = FingerprintKey(*container_, place, found);
  return Fingerprint(key, seen_[key]++);
}

void MatchWriter::Matched(const Found& found) {
  // Places are asked for once, in order, and only when something needs them.
  const bool placed = locator_ != nullptr && (!Listed() || Fingerprinted());
  MatchedAt(found, placed ? locator_->Locate(found) : Place{});
}

void MatchWriter::MatchedAt(const Found& found, const Place& place) {
  if (filter_.Allows(found.match.number)) {
    ++allowed_;
    return;
  }
  const std::string fingerprint = Fingerprinted() ? FingerprintOf(found, place) : std::string();
  if (filter_.InBaseline(fingerprint)) {
    ++inBaseline_;
    return;
  }
  ++found_;
  // -l and -c say nothing of where a match lies.
  if (Listed()) return;
  if (options_.sarif) {
    WriteSarif(found, place, fingerprint);
  } else if (options_.json) {
    WriteJson(found, place, fingerprint);
  } else {
    WriteText(found, place);
  }
  MaybeFlush();
}

void MatchWriter::WriteText(const Found& found, const Place& place) {
  TextBuffer& out = Buffer();
  if (!commit_.empty()) {
    out += std::string_view(date_).substr(0, 10);
    out += ' ';
  }
  std::string_view name = name_;
  // An attachment read as text is named after its message and part.
  const bool attached = place.kind == PlaceKind::MailPart && !place.attachment.empty();
  if (attached && container_->size() > 1) name.remove_suffix(container_->back().size() + 1);
  AppendEscaped(out, name);
  switch (place.kind) {
    case PlaceKind::Line:
      fmt::format_to(std::back_inserter(out), ":{}:{}: ", found.line, found.column.codePoints);
      break;
    case PlaceKind::Cell:
      out += '!';
      AppendEscaped(out, place.sheet);
      fmt::format_to(std::back_inserter(out), "!{}: ", CellName(place.row, place.column));
      break;
    case PlaceKind::Page:
      fmt::format_to(std::back_inserter(out), "!page {}: ", place.page);
      break;
    case PlaceKind::Paragraph:
      fmt::format_to(std::back_inserter(out), "!paragraph {}: ", place.paragraph);
      break;
    case PlaceKind::MailPart:
      fmt::format_to(std::back_inserter(out), "!message {}", place.message);
      out += place.part == "headers" ? "!headers"sv : "!part "sv;
      if (place.part != "headers") out += place.part;
      if (attached) {
        out += '!';
        AppendEscaped(out, place.attachment);
      }
      fmt::format_to(std::back_inserter(out), ":{}:{}: ", place.line, place.column);
      break;
  }
  AppendPrintable(out, options_.unmasked ? std::string(found.text)
                                         : MaskDigits(found.text, HiddenDigits(kNumberLength)));
  out += " ("sv;
  out += ConfidenceName(found.match.confidence);
  if (!found.match.keyword.empty()) {
    out += ": "sv;
    AppendPrintable(out, found.match.keyword);
  }
  out += ")\n"sv;
}

void MatchWriter::WriteJson(const Found& found, const Place& place, std::string_view fingerprint) {
  const mivaro::Match& match = found.match;
  const std::string_view digits(match.number.data(), match.number.size());
  TextBuffer& out = Buffer();
  out += R"({"path":")"sv;
  AppendJsonEscaped(out, path_);
  if (!commit_.empty()) {
    out += R"(","commit":")"sv;
    out += commit_;
    out += R"(","date":")"sv;
    out += date_;
  }
  fmt::format_to(std::back_inserter(out), R"(","line":{},"column":{},"offset":{},"length":{},)",
                 found.line, found.column.codePoints, match.offset, match.length);
  out += R"("number":")"sv;
  out += options_.unmasked ? std::string(digits) : MaskDigits(digits, HiddenDigits(kNumberLength));
  out += R"(","confidence":")"sv;
  out += ConfidenceName(match.confidence);
  out += match.keyword.empty() ? R"(","keyword":null)"sv : R"(","keyword":")"sv;
  if (!match.keyword.empty()) {
    AppendJsonEscaped(out, match.keyword);
    out += '"';
  }
  out += R"(,"container":)"sv;
  AppendContainer(out);
  out += R"(,"where":)"sv;
  AppendWhere(out, found, place);
  out += R"(,"fingerprint":")"sv;
  out += fingerprint;
  out += "\"}\n"sv;
}

void MatchWriter::AppendContainer(TextBuffer& out) const {
  out += '[';
  for (std::size_t i = 0; i < container_->size(); ++i) {
    out += i == 0 ? "\""sv : ",\""sv;
    AppendJsonEscaped(out, (*container_)[i]);
    out += '"';
  }
  out += ']';
}

void MatchWriter::AppendWhere(TextBuffer& out, const Found& found, const Place& place) const {
  out += '{';
  switch (place.kind) {
    case PlaceKind::Line:
      fmt::format_to(std::back_inserter(out), R"("line":{},"column":{})", found.line,
                     found.column.codePoints);
      break;
    case PlaceKind::Cell:
      out += R"("sheet":")"sv;
      AppendJsonEscaped(out, place.sheet);
      fmt::format_to(std::back_inserter(out), R"(","cell":"{}","row":{},"column":{})",
                     CellName(place.row, place.column), place.row, place.column);
      break;
    case PlaceKind::Page:
      fmt::format_to(std::back_inserter(out), R"("page":{})", place.page);
      break;
    case PlaceKind::Paragraph:
      fmt::format_to(std::back_inserter(out), R"("paragraph":{})", place.paragraph);
      break;
    case PlaceKind::MailPart:
      fmt::format_to(std::back_inserter(out), R"("message":{},"part":")", place.message);
      AppendJsonEscaped(out, place.part);
      if (!place.attachment.empty()) {
        out += R"(","attachment":")"sv;
        AppendJsonEscaped(out, place.attachment);
      }
      fmt::format_to(std::back_inserter(out), R"(","line":{},"column":{})", place.line,
                     place.column);
      break;
  }
  out += '}';
}

void MatchWriter::FileDone() {
  if (options_.filesWithMatches && found_ != 0) {
    AppendEscaped(Buffer(), path_);
    Buffer() += '\n';
  } else if (options_.count) {
    AppendEscaped(Buffer(), path_);
    fmt::format_to(std::back_inserter(Buffer()), ":{}\n", found_);
  }
  MaybeFlush();
}

std::string SummaryOf(const Totals& totals, std::string_view timing) {
  const auto plural = [](std::uint64_t count) { return count == 1 ? "" : "s"; };
  std::string summary =
      fmt::format("scanned {} file{}, {} byte{}{}: {} SIN{} in {} file{}", totals.files,
                  plural(totals.files), totals.bytes, plural(totals.bytes), timing, totals.matches,
                  plural(totals.matches), totals.filesWithMatches, plural(totals.filesWithMatches));
  if (totals.binary != 0) {
    summary += fmt::format(", {} binary file{} skipped", totals.binary, plural(totals.binary));
  }
  if (totals.special != 0) {
    summary += fmt::format(", {} pipe{}, socket{} or device{} skipped", totals.special,
                           plural(totals.special), plural(totals.special), plural(totals.special));
  }
  if (totals.unopened != 0) {
    summary += fmt::format(", {} file{} not opened that may hold text", totals.unopened,
                           plural(totals.unopened));
  }
  if (totals.unreadable != 0) {
    summary += fmt::format(", {} could not be read", totals.unreadable);
  }
  if (totals.allowed != 0) {
    summary += fmt::format(", {} allowed left out", totals.allowed);
  }
  if (totals.inBaseline != 0) {
    summary += fmt::format(", {} in the baseline left out", totals.inBaseline);
  }
  if (!totals.opened.empty()) {
    summary += "; opened";
    const char* separator = " ";
    for (const auto& [kind, count] : totals.opened) {
      summary += fmt::format("{}{} {}", separator, count, kind);
      separator = ", ";
    }
  }
  return summary;
}

}  // namespace mivaro::cli

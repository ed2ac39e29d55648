// SPDX-License-Identifier: Apache-2.0
// The library as the npm package calls it: plain C functions over bytes in
// the module's memory, beside the C API's mivaro_is_valid and
// mivaro_redact_digits, which it calls as they are. The JavaScript side
// (package/index.js) copies strings in as UTF-8 and reads results back;
// where a call is hot (isValid) the answer is a number, where it is not, a
// small JSON text.
#include <emscripten/emscripten.h>
#include <mivaro/generator.h>
#include <mivaro/record.h>
#include <mivaro/scan.h>
#include <mivaro/sin.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/json.h"

namespace {

// The text the last call that answers in words wrote; JavaScript reads it
// before the next call.
std::string g_text;

// The library's record of an entry as JSON, and the reason format and mask
// give when they refuse, as one more field.
void WriteCheckJson(std::string_view entry, const mivaro::Result& result) {
  g_text.resize(mivaro::RecordJsonBound(entry.size()));
  g_text.resize(mivaro::WriteRecordJson(g_text.data(), entry, result));
  g_text.pop_back();  // the record's closing brace
  g_text += ",\"reason\":";
  mivaro::text::AppendJsonString(g_text, mivaro::Reason(result));
  g_text += '}';
}

// One match as JavaScript reads it: five 32-bit words, then the digits. Its
// start and end are in UTF-16 units, as JavaScript indexes strings.
struct MatchRecord {
  std::uint32_t start;
  std::uint32_t end;
  std::uint32_t confidence;
  const char* keyword;  // NUL-terminated static text, "" for none
  char number[12];      // nine digits, NUL-terminated
};
static_assert(sizeof(MatchRecord) == 28);

std::vector<MatchRecord> g_matches;

// A JavaScript array of strings this long already takes tens of megabytes:
// the package gives a hundredth of what one run of the library may draw.
constexpr std::uint64_t kMostInOneArray = mivaro::kMostGenerated / 100;

}  // namespace

extern "C" {

// Returns where the last text in words starts; its length is web_text_length().
EMSCRIPTEN_KEEPALIVE const char* web_text() {
  return g_text.c_str();
}

// Returns the length in bytes of the last text in words.
EMSCRIPTEN_KEEPALIVE std::size_t web_text_length() {
  return g_text.size();
}

// Checks an entry and writes what it finds as JSON (web_text); returns 1
// when it is a valid SIN.
EMSCRIPTEN_KEEPALIVE int web_check(const char* entry, std::size_t length) {
  const std::string_view text(entry, length);
  const mivaro::Result result = mivaro::Check(text);
  WriteCheckJson(text, result);
  return result.valid ? 1 : 0;
}

// Reads a style's name (0 bare, 1 spaced, 2 dashed) or a confidence's (1 low
// to 3 high): returns its value, or -1 with why as web_text.
EMSCRIPTEN_KEEPALIVE int web_parse_name(int confidence, const char* name, std::size_t length) {
  const std::string_view text(name, length);
  if (confidence != 0) {
    const auto parsed = mivaro::ParseConfidence(text, g_text);
    return parsed ? static_cast<int>(*parsed) : -1;
  }
  const auto parsed = mivaro::ParseStyle(text, g_text);
  return parsed ? static_cast<int>(*parsed) : -1;
}

// Writes, as a JSON object (web_text), the names the package's options take
// and its answers give, and its limits: styles, confidences and the one
// reported unless a caller says otherwise, groups, region captions, and the
// most numbers one generate() call gives.
EMSCRIPTEN_KEEPALIVE void web_facts() {
  const auto list = [](const char* name, const auto& items, const auto& nameOf) {
    g_text += g_text.empty() ? "{" : ",";
    mivaro::text::AppendJsonString(g_text, name);
    g_text += ":[";
    bool first = true;
    for (const auto& item : items) {
      if (!first) g_text += ',';
      first = false;
      mivaro::text::AppendJsonString(g_text, nameOf(item));
    }
    g_text += ']';
  };
  const auto same = [](std::string_view name) { return name; };
  g_text.clear();
  list("styles", mivaro::kStyleNames, same);
  list("confidences", mivaro::kConfidenceNames, same);
  list("groups", mivaro::kGroups, mivaro::GroupName);
  list("regions", mivaro::kRegions, [](const mivaro::Region& region) { return region.caption; });
  g_text += ",\"defaultConfidence\":";
  mivaro::text::AppendJsonString(g_text, mivaro::ConfidenceName(mivaro::kDefaultConfidence));
  g_text += ",\"mostGenerated\":" + std::to_string(kMostInOneArray) + "}";
}

// Writes a valid entry in a style, masked or not, as web_text and returns 1;
// for any other entry writes the reason and returns 0.
EMSCRIPTEN_KEEPALIVE int web_format(const char* entry, std::size_t length, int style, int mask) {
  const mivaro::Result result = mivaro::Check(std::string_view(entry, length));
  if (!result.valid) {
    g_text = mivaro::Reason(result);
    return 0;
  }
  const auto written = static_cast<mivaro::Style>(style);
  g_text =
      mask != 0 ? mivaro::Mask(result.number, written) : mivaro::Format(result.number, written);
  return 1;
}

// Writes count generated numbers, nine digits each, end to end into out and
// returns 1; for options the generator refuses, or more unique numbers than
// the options allow, writes why as web_text and returns 0. firstDigit counts
// only when hasFirstDigit is 1; the seed comes in two 32-bit halves.
EMSCRIPTEN_KEEPALIVE int web_generate(unsigned regions, int hasFirstDigit, int firstDigit,
                                      int zeroToNine, int unique, std::uint32_t seedLow,
                                      std::uint32_t seedHigh, std::uint32_t count, char* out) {
  mivaro::GeneratorOptions options;
  options.regions = regions;
  if (hasFirstDigit != 0) options.firstDigit = firstDigit;
  options.zeroToNine = zeroToNine != 0;
  options.unique = unique != 0;
  options.seed = (std::uint64_t{seedHigh} << 32U) | seedLow;
  std::optional<mivaro::Generator> generator = mivaro::Generator::Create(options, g_text);
  if (!generator || !generator->Gives(count, g_text)) return 0;
  mivaro::Number number{};
  for (std::uint32_t i = 0; i < count; ++i) {
    generator->Next(number);
    std::memcpy(out + std::size_t{i} * number.size(), number.data(), number.size());
  }
  return 1;
}

// Reads a comma-separated list of region captions into region bits and
// returns 1; or writes why as web_text and returns 0.
EMSCRIPTEN_KEEPALIVE int web_parse_regions(const char* list, std::size_t length,
                                           unsigned* regions) {
  std::string error;
  const auto bits = mivaro::ParseRegions(std::string_view(list, length), error);
  if (!bits) {
    g_text = error;
    return 0;
  }
  *regions = *bits;
  return 1;
}

// Finds the SINs of at least a confidence (1 low to 3 high) in a text and
// returns how many; web_matches() holds them, placed in UTF-16 units.
EMSCRIPTEN_KEEPALIVE std::size_t web_find(const char* text, std::size_t length, int minimum) {
  g_matches.clear();
  static mivaro::Searcher searcher;
  searcher.SetOptions({.minimum = static_cast<mivaro::Confidence>(minimum)});
  searcher.Search(std::string_view(text, length), [](const mivaro::Found& found) {
    const mivaro::Match& match = found.match;
    MatchRecord record{static_cast<std::uint32_t>(found.start.utf16),
                       static_cast<std::uint32_t>(found.end.utf16),
                       static_cast<std::uint32_t>(match.confidence),
                       // Static, terminated text, as the C API hands it out.
                       match.keyword.empty() ? "" : match.keyword.data(),
                       {}};
    std::memcpy(record.number, match.number.data(), match.number.size());
    g_matches.push_back(record);
  });
  return g_matches.size();
}

// Returns the matches of the last web_find, as MatchRecords.
EMSCRIPTEN_KEEPALIVE const void* web_matches() {
  return g_matches.data();
}

}  // extern "C"

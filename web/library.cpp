// SPDX-License-Identifier: Apache-2.0
// The library as the npm package calls it: plain C functions over bytes in
// the module's memory, beside the C API's mivaro_is_valid and
// mivaro_redact_digits, which it calls as they are. The JavaScript side
// (package/index.js) copies strings in as UTF-8 and reads results back;
// where a call is hot (isValid) the answer is a number, where it is not, a
// small JSON text.
#include <emscripten/emscripten.h>
#include <mivaro/generator.h>
#include <mivaro/scan.h>
#include <mivaro/sin.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "web/json.h"

namespace {

using mivaro::web::AppendJsonString;

// The text the last call that answers in words wrote; JavaScript reads it
// before the next call.
std::string g_text;

// The fields of `mivaro-cli validate --json` but the input, and the reason
// format and mask give when they refuse.
void WriteCheckJson(const mivaro::Result& result) {
  g_text = "{\"valid\":";
  g_text += result.valid ? "true" : "false";
  if (!result.WellFormed()) {
    g_text += ",\"error\":";
    AppendJsonString(g_text, mivaro::ErrorText(result.error));
    g_text += R"(,"number":null,"check":null,"sum":null,"group":null,"regions":[])";
  } else {
    g_text += ",\"error\":null,\"number\":";
    AppendJsonString(g_text, result.NumberText());
    g_text += ",\"check\":";
    AppendJsonString(g_text, result.CheckText());
    g_text += ",\"sum\":" + std::to_string(result.sum) + ",\"group\":";
    AppendJsonString(g_text, mivaro::GroupName(*result.group));
    g_text += ",\"regions\":[";
    const std::string_view words = mivaro::RegionWords(*result.group);
    std::size_t at = 0;
    while (at < words.size()) {
      const std::size_t space = std::min(words.find(' ', at), words.size());
      if (at != 0) g_text += ',';
      AppendJsonString(g_text, words.substr(at, space - at));
      at = space + 1;
    }
    g_text += ']';
  }
  g_text += ",\"reason\":";
  AppendJsonString(g_text, mivaro::Reason(result));
  g_text += '}';
}

// One match as JavaScript reads it: five 32-bit words, then the digits.
struct MatchRecord {
  std::uint32_t offset;
  std::uint32_t length;
  std::uint32_t confidence;
  const char* keyword;  // NUL-terminated static text, "" for none
  char number[12];      // nine digits, NUL-terminated
};
static_assert(sizeof(MatchRecord) == 28);

std::vector<MatchRecord> g_matches;

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
  const mivaro::Result result = mivaro::Check(std::string_view(entry, length));
  WriteCheckJson(result);
  return result.valid ? 1 : 0;
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
  try {
    mivaro::Generator generator(options);
    if (options.unique && count > generator.Distinct()) {
      g_text = "count " + std::to_string(count) + " is more than the " +
               std::to_string(generator.Distinct()) + " distinct valid numbers these options allow";
      return 0;
    }
    mivaro::Number number{};
    for (std::uint32_t i = 0; i < count; ++i) {
      generator.Next(number);
      std::memcpy(out + std::size_t{i} * number.size(), number.data(), number.size());
    }
  } catch (const std::invalid_argument& refused) {
    g_text = refused.what();
    return 0;
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
// returns how many; web_matches() holds them.
EMSCRIPTEN_KEEPALIVE std::size_t web_find(const char* text, std::size_t length, int minimum) {
  g_matches.clear();
  mivaro::Scanner scanner(static_cast<mivaro::Confidence>(minimum));
  const auto keep = [](const mivaro::Match& match) {
    MatchRecord record{static_cast<std::uint32_t>(match.offset),
                       static_cast<std::uint32_t>(match.length),
                       static_cast<std::uint32_t>(match.confidence),
                       // Static, terminated text, as the C API hands it out.
                       match.keyword.empty() ? "" : match.keyword.data(),
                       {}};
    std::memcpy(record.number, match.number.data(), match.number.size());
    g_matches.push_back(record);
  };
  scanner.Feed(std::string_view(text, length), keep);
  scanner.Finish(keep);
  return g_matches.size();
}

// Returns the matches of the last web_find, as MatchRecords.
EMSCRIPTEN_KEEPALIVE const void* web_matches() {
  return g_matches.data();
}

}  // extern "C"

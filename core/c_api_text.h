// SPDX-License-Identifier: Apache-2.0
#pragma once

// How the C API takes text in and hands it out.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "mivaro/mivaro.h"
#include "mivaro/scan.h"

namespace mivaro::detail {

// Copies text into buffer, cut to size - 1 bytes and NUL-terminated; returns
// the length of the whole text.
inline std::size_t CopyCut(std::string_view text, char* buffer, std::size_t size) {
  if (buffer != nullptr && size > 0) {
    const std::size_t copied = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return text.size();
}

// The bytes a caller gives with their length; NULL stands for none.
inline std::string_view Entry(const char* bytes, std::size_t length) {
  return bytes == nullptr ? std::string_view() : std::string_view(bytes, length);
}

// Runs one of the library's parsers (ParseStyle, ParseRegions, ...) over a
// caller's text: its value into *out (unless NULL) and 1, or 0 with why in
// error, cut to size. Never throws.
template <typename Value, typename Parse>
int ParseForC(const char* text, std::size_t length, Value* out, char* error, std::size_t size,
              const Parse& parse) {
  std::string why;
  try {
    if (const auto parsed = parse(Entry(text, length), why)) {
      if (out != nullptr) *out = static_cast<Value>(*parsed);
      CopyCut("", error, size);
      return 1;
    }
  } catch (const std::bad_alloc&) {
    why = "out of memory";
  }
  CopyCut(why, error, size);
  return 0;
}

inline bool KnownConfidence(mivaro_confidence confidence) {
  return confidence >= MIVARO_CONFIDENCE_LOW && confidence <= MIVARO_CONFIDENCE_HIGH;
}

inline mivaro_text_units UnitsOf(const TextUnits& units) {
  return {units.bytes, units.codePoints, units.utf16};
}

// A match as the C API hands it over; it points into found's text.
inline mivaro_found FoundForC(const Found& found) {
  mivaro_found out{};
  const Match& match = found.match;
  out.match.offset = match.offset;
  out.match.length = match.length;
  std::memcpy(out.match.number, match.number.data(), kNumberLength);
  out.match.number[kNumberLength] = '\0';
  out.match.confidence = static_cast<mivaro_confidence>(match.confidence);
  // The names are static literals, NUL-terminated.
  out.match.keyword = match.keyword.empty() ? "" : match.keyword.data();
  out.text = found.text.data();
  out.line = found.line;
  out.start = UnitsOf(found.start);
  out.end = UnitsOf(found.end);
  out.column = UnitsOf(found.column);
  return out;
}

}  // namespace mivaro::detail

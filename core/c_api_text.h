// SPDX-License-Identifier: Apache-2.0
#pragma once

// How the C API takes text in and hands it out.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

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

}  // namespace mivaro::detail

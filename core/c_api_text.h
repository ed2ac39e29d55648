// SPDX-License-Identifier: Apache-2.0
#pragma once

// How the C API takes text in and hands it out.

#include <algorithm>
#include <cstddef>
#include <cstring>
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

}  // namespace mivaro::detail

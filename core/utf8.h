// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <string_view>

namespace mivaro {

// One step of UTF-8 decoding: the code point at a position and how many bytes
// it takes. An ill-formed sequence (stray continuation byte, overlong form,
// surrogate, beyond U+10FFFF, cut short) is reported as one invalid byte, so
// decoding always moves forward.
struct Utf8Step {
  char32_t codePoint;
  std::size_t length;
  bool valid;
};

// Decodes the code point starting at text[at]; at must be below text.size().
Utf8Step DecodeUtf8(std::string_view text, std::size_t at);

// Returns how many bytes at the end of text (0 to 3) start a well-formed
// sequence that the text cuts short, so that more text may still complete it.
std::size_t IncompleteUtf8Tail(std::string_view text);

}  // namespace mivaro

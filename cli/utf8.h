#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

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

// Appends text as the body of a JSON string: quotes, backslashes and control
// characters escaped, ill-formed UTF-8 replaced by U+FFFD, so the output is
// always valid JSON in valid UTF-8.
void AppendJsonEscaped(std::string& out, std::string_view text);

// Appends text for a terminal or a CSV field: control characters and
// ill-formed UTF-8 replaced by U+FFFD, everything else as it is.
void AppendPrintable(std::string& out, std::string_view text);

// Returns how many code points text holds (ill-formed bytes count one each).
std::size_t CountCodePoints(std::string_view text);

}  // namespace mivaro::cli

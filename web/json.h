// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace mivaro::web {

// Appends a text as a JSON string. The texts the modules answer with are the
// rules' own (captions, reasons, digits), which hold no control characters;
// quotes and backslashes are escaped all the same.
inline void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

}  // namespace mivaro::web

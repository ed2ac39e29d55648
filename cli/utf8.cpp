// SPDX-License-Identifier: Apache-2.0
#include "cli/utf8.h"

#include <algorithm>
#include <array>

#include "text/utf8.h"

namespace mivaro::cli {

using text::DecodeUtf8;
using text::Utf8Step;
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kHex = "0123456789abcdef";

// Characters that would not show as themselves in a terminal or spreadsheet:
// controls, and the invisible format characters that hide or reorder the
// text around them (zero-width spaces and joiners, bidirectional controls,
// the byte-order mark, line and paragraph separators).
bool IsUnprintable(char32_t codePoint) {
  return codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0) ||
         (codePoint >= 0x200B && codePoint <= 0x200F) ||
         (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2060 && codePoint <= 0x206F) || codePoint == 0xFEFF;
}

}  // namespace

bool IsPrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

void AppendJsonEscaped(TextBuffer& out, std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
  });
  if (plain) {
    out += text;
    return;
  }
  std::size_t at = 0;
  while (at < text.size()) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid) {
      out += kReplacement;
    } else if (step.codePoint == '"' || step.codePoint == '\\') {
      out += '\\';
      out += static_cast<char>(step.codePoint);
    } else if (step.codePoint < 0x20 || step.codePoint == 0x7F) {
      switch (step.codePoint) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        default:
          out += "\\u00";
          out += kHex[(step.codePoint >> 4U) & 0xFU];
          out += kHex[step.codePoint & 0xFU];
      }
    } else {
      out += text.substr(at, step.length);
    }
    at += step.length;
  }
}

void AppendEscaped(TextBuffer& out, std::string_view text) {
  if (IsPrintableAscii(text)) {
    out += text;
    return;
  }
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid) {
      out += kReplacement;
    } else if (!IsUnprintable(step.codePoint)) {
      out += text.substr(at, step.length);
    } else if (step.codePoint == 0x1B) {
      out += "\\e";
    } else if (step.codePoint == '\t') {
      out += "\\t";
    } else if (step.codePoint == '\n') {
      out += "\\n";
    } else if (step.codePoint == '\r') {
      out += "\\r";
    } else if (step.codePoint < 0x80) {
      out += "\\x";
      out += kHex[step.codePoint >> 4U];
      out += kHex[step.codePoint & 0xFU];
    } else {
      out += "\\u";
      for (const unsigned shift : {12U, 8U, 4U, 0U}) out += kHex[(step.codePoint >> shift) & 0xFU];
    }
    at += step.length;
  }
}

void AppendPrintable(TextBuffer& out, std::string_view text) {
  if (IsPrintableAscii(text)) {
    out += text;
    return;
  }
  // Printable characters go out in runs; each other one as U+FFFD.
  std::size_t run = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7F) {
      ++at;
      continue;
    }
    const Utf8Step step = byte < 0x80 ? Utf8Step{byte, 1, true} : DecodeUtf8(text, at);
    if (step.valid && !IsUnprintable(step.codePoint)) {
      at += step.length;
      continue;
    }
    out += text.substr(run, at - run);
    out += kReplacement;
    at += step.length;
    run = at;
  }
  out += text.substr(run);
}

}  // namespace mivaro::cli

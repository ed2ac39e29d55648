#include "cli/utf8.h"

#include <algorithm>
#include <array>

namespace mivaro::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

// Printable ASCII needs no decoding, escaping or replacing: the common case.
bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool IsControl(char32_t codePoint) {
  return codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0);
}

}  // namespace

Utf8Step DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};

  // Well-formed sequences (Unicode Table 3-7): the lead byte fixes the length
  // and the allowed range of the second byte, which rules out overlong forms,
  // surrogates and code points past U+10FFFF.
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t codePoint = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0FU;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07U;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0xFFFD, 1, false};
  }
  if (at + length > text.size()) return {0xFFFD, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    const bool inRange = i == 1 ? (byte >= low && byte <= high) : IsContinuation(byte);
    if (!inRange) return {0xFFFD, 1, false};
    codePoint = (codePoint << 6U) | (byte & 0x3FU);
  }
  return {codePoint, length, true};
}

void AppendJsonEscaped(std::string& out, std::string_view text) {
  if (IsPlainAscii(text) && text.find_first_of("\"\\") == std::string_view::npos) {
    out += text;
    return;
  }
  static constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
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
      out.append(text.substr(at, step.length));
    }
    at += step.length;
  }
}

void AppendPrintable(std::string& out, std::string_view text) {
  if (IsPlainAscii(text)) {
    out += text;
    return;
  }
  std::size_t at = 0;
  while (at < text.size()) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid || IsControl(step.codePoint)) {
      out += kReplacement;
    } else {
      out.append(text.substr(at, step.length));
    }
    at += step.length;
  }
}

std::size_t CountCodePoints(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); at += DecodeUtf8(text, at).length) ++count;
  return count;
}

}  // namespace mivaro::cli

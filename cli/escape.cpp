// SPDX-License-Identifier: Apache-2.0
#include "cli/escape.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <span>

#include "cli/words.h"
#include "text/json.h"
#include "text/utf8.h"

namespace mivaro::cli {

using text::DecodeUtf8;
using text::Utf8Step;
namespace {

constexpr std::string_view kHex = "0123456789abcdef";

struct Range {
  char32_t first, last;
};

// Unicode's East Asian Width W and F ranges, and the emoji blocks, coarsely:
// enough to keep a table's columns straight for the text people write.
constexpr std::array<Range, 41> kWide{{
    {0x1100, 0x115F},   {0x231A, 0x231B}, {0x2329, 0x232A}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE}, {0x2614, 0x2615}, {0x2648, 0x2653}, {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1}, {0x26AA, 0x26AB}, {0x26BD, 0x26BE}, {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4}, {0x26EA, 0x26EA}, {0x26F2, 0x26F5}, {0x26FA, 0x26FD},
    {0x2705, 0x2705},   {0x270A, 0x270B}, {0x2728, 0x2728}, {0x274C, 0x274E}, {0x2753, 0x2757},
    {0x2795, 0x2797},   {0x27B0, 0x27BF}, {0x2B1B, 0x2B1C}, {0x2B50, 0x2B55}, {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF}, {0x4E00, 0xA4CF}, {0xA960, 0xA97F}, {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19}, {0xFE30, 0xFE6F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
    {0x16FE0, 0x3FFFD},
}};

// Combining marks and the other characters that take no column of their own.
constexpr std::array<Range, 12> kZeroWidth{{
    {0x0300, 0x036F},
    {0x0483, 0x0489},
    {0x0591, 0x05BD},
    {0x0610, 0x061A},
    {0x064B, 0x065F},
    {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF},
    {0x200B, 0x200F},
    {0x20D0, 0x20FF},
    {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F},
    {0xE0000, 0xE01EF},
}};

bool InRanges(std::span<const Range> ranges, char32_t codePoint) {
  const auto after = std::upper_bound(ranges.begin(), ranges.end(), codePoint,
                                      [](char32_t c, const Range& r) { return c < r.first; });
  return after != ranges.begin() && codePoint <= std::prev(after)->last;
}

}  // namespace

std::size_t ColumnWidthAbove0300(char32_t codePoint) {
  if (InRanges(kZeroWidth, codePoint)) return 0;
  // Supplementary planes: the emoji and symbols blocks are wide, and so are
  // the ideographic planes (the last range of kWide); the rest is narrow.
  if (codePoint >= 0x1F000 && codePoint <= 0x1FAFF) return 2;
  return InRanges(kWide, codePoint) ? 2 : 1;
}

bool IsPrintableAscii(std::string_view text) {
  return !AnyWord(text, 'A', NotPrintable);
}

void AppendJsonEscaped(TextBuffer& out, std::string_view text) {
  text::AppendJsonEscaped(out, text);
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

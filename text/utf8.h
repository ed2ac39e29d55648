// SPDX-License-Identifier: Apache-2.0
#pragma once

// UTF-8 as Mivaro reads it: one decoding step, and the blanks that may stand
// around an entry. Header-only, so the library and the programs that show
// its results share one definition without compiling it twice.

#include <array>
#include <cstddef>
#include <string_view>

namespace mivaro::text {

// One step of UTF-8 decoding: the code point at a position and how many bytes
// it takes. An ill-formed sequence (stray continuation byte, overlong form,
// surrogate, beyond U+10FFFF, cut short) is reported as one invalid byte, so
// decoding always moves forward.
struct Utf8Step {
  char32_t codePoint;
  std::size_t length;
  bool valid;
};

namespace detail {

constexpr bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

// What a lead byte allows (Unicode Table 3-7): the length of its sequence and
// the range of the second byte, which rules out overlong forms, surrogates and
// code points past U+10FFFF. Length 0: not a lead byte.
struct LeadRule {
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t bits = 0;
};

constexpr LeadRule RuleOf(unsigned char lead) {
  LeadRule rule;
  if (lead >= 0xC2 && lead <= 0xDF) {
    rule.length = 2;
    rule.bits = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    rule.length = 3;
    rule.bits = lead & 0x0FU;
    if (lead == 0xE0) rule.low = 0xA0;
    if (lead == 0xED) rule.high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    rule.length = 4;
    rule.bits = lead & 0x07U;
    if (lead == 0xF0) rule.low = 0x90;
    if (lead == 0xF4) rule.high = 0x8F;
  }
  return rule;
}

constexpr bool Follows(const LeadRule& rule, std::size_t index, unsigned char byte) {
  return index == 1 ? (byte >= rule.low && byte <= rule.high) : IsContinuation(byte);
}

// Blanks among the ASCII characters: tab, line feed, vertical tab, form feed,
// carriage return and space.
constexpr std::array<bool, 128> kAsciiBlank = [] {
  std::array<bool, 128> table{};
  for (const char c : {'\t', '\n', '\v', '\f', '\r', ' '})
    table[static_cast<std::size_t>(c)] = true;
  return table;
}();

}  // namespace detail

// Decodes the code point starting at text[at]; at must be below text.size().
// Inline: it runs once per character in every hot loop over text.
constexpr Utf8Step DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  // Two-byte sequences (Latin letters, no-break spaces) go first and
  // straight: most text past ASCII is made of them.
  if (lead >= 0xC2 && lead <= 0xDF && at + 1 < text.size()) {
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (detail::IsContinuation(second)) {
      return {(char32_t{lead & 0x1FU} << 6U) | (second & 0x3FU), 2, true};
    }
  }
  // So do three-byte ones whose lead allows any second byte (the spaces and
  // marks of U+1000 to U+CFFF and U+E000 to U+FFFF).
  if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && at + 2 < text.size()) {
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const auto third = static_cast<unsigned char>(text[at + 2]);
    if (detail::IsContinuation(second) && detail::IsContinuation(third)) {
      return {(char32_t{lead & 0x0FU} << 12U) | (char32_t{second & 0x3FU} << 6U) | (third & 0x3FU),
              3, true};
    }
  }
  const detail::LeadRule rule = detail::RuleOf(lead);
  if (rule.length == 0 || at + rule.length > text.size()) return {0xFFFD, 1, false};
  char32_t codePoint = rule.bits;
  for (std::size_t i = 1; i < rule.length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!detail::Follows(rule, i, byte)) return {0xFFFD, 1, false};
    codePoint = (codePoint << 6U) | (byte & 0x3FU);
  }
  return {codePoint, rule.length, true};
}

// Returns how many bytes the sequence a lead byte starts takes, or 0 when
// the byte cannot start one.
constexpr std::size_t SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : detail::RuleOf(lead).length;
}

// Returns how many bytes at the end of text (0 to 3) start a well-formed
// sequence that the text cuts short, so that more text may still complete it.
constexpr std::size_t IncompleteUtf8Tail(std::string_view text) {
  for (std::size_t kept = 1; kept <= 3 && kept <= text.size(); ++kept) {
    const std::string_view tail = text.substr(text.size() - kept);
    const auto lead = static_cast<unsigned char>(tail.front());
    if (detail::IsContinuation(lead)) continue;
    const detail::LeadRule rule = detail::RuleOf(lead);
    if (rule.length <= kept) return 0;  // complete, or not a sequence at all
    for (std::size_t i = 1; i < kept; ++i) {
      if (!detail::Follows(rule, i, static_cast<unsigned char>(tail[i]))) return 0;
    }
    return kept;
  }
  return 0;
}

// Returns how many characters (code points) a UTF-8 text holds, counting at
// most up to limit. Each byte of ill-formed UTF-8 counts as one.
constexpr std::size_t CountCharacters(std::string_view utf8, std::size_t limit) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < utf8.size() && count < limit; ++count) {
    at += DecodeUtf8(utf8, at).length;
  }
  return count;
}

// Returns whether an ASCII byte is a blank: tab, line feed, vertical tab, form
// feed, carriage return or space.
constexpr bool IsAsciiBlank(unsigned char byte) {
  return byte < 0x80 && detail::kAsciiBlank[byte];
}

// Returns whether a code point is a blank around an entry: Unicode white space
// (the White_Space property, no-break spaces included), and U+200B ZERO WIDTH
// SPACE and U+FEFF BYTE ORDER MARK, which spreadsheets and editors leave
// around cells.
constexpr bool IsBlank(char32_t codePoint) {
  if (codePoint < 0x80) return detail::kAsciiBlank[codePoint];
  switch (codePoint) {
    case 0x0085:  // NEXT LINE
    case 0x00A0:  // NO-BREAK SPACE
    case 0x1680:  // OGHAM SPACE MARK
    case 0x2028:  // LINE SEPARATOR
    case 0x2029:  // PARAGRAPH SEPARATOR
    case 0x202F:  // NARROW NO-BREAK SPACE
    case 0x205F:  // MEDIUM MATHEMATICAL SPACE
    case 0x3000:  // IDEOGRAPHIC SPACE
    case 0x200B:  // ZERO WIDTH SPACE
    case 0xFEFF:  // ZERO WIDTH NO-BREAK SPACE, the byte-order mark
      return true;
    default:
      return codePoint >= 0x2000 && codePoint <= 0x200A;  // EN QUAD .. HAIR SPACE
  }
}

// Returns text without the blanks around it.
constexpr std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Step step = DecodeUtf8(text, at);
    if (!step.valid || !IsBlank(step.codePoint)) {
      begin = begin < at ? begin : at;
      end = at + step.length;
    }
    at += step.length;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view();
}

}  // namespace mivaro::text

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

namespace utf8_detail {

inline bool IsContinuation(unsigned char byte) {
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

inline LeadRule RuleOf(unsigned char lead) {
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

inline bool Follows(const LeadRule& rule, std::size_t index, unsigned char byte) {
  return index == 1 ? (byte >= rule.low && byte <= rule.high) : IsContinuation(byte);
}

}  // namespace utf8_detail

// Decodes the code point starting at text[at]; at must be below text.size().
// Inline: it runs once per character in every hot loop over text.
inline Utf8Step DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};

  const utf8_detail::LeadRule rule = utf8_detail::RuleOf(lead);
  if (rule.length == 0 || at + rule.length > text.size()) return {0xFFFD, 1, false};
  char32_t codePoint = rule.bits;
  for (std::size_t i = 1; i < rule.length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!utf8_detail::Follows(rule, i, byte)) return {0xFFFD, 1, false};
    codePoint = (codePoint << 6U) | (byte & 0x3FU);
  }
  return {codePoint, rule.length, true};
}

// Returns how many bytes at the end of text (0 to 3) start a well-formed
// sequence that the text cuts short, so that more text may still complete it.
std::size_t IncompleteUtf8Tail(std::string_view text);

}  // namespace mivaro

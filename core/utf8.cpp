// SPDX-License-Identifier: Apache-2.0
#include "core/utf8.h"

namespace mivaro {
namespace {

bool IsContinuation(unsigned char byte) {
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

LeadRule RuleOf(unsigned char lead) {
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

bool Follows(const LeadRule& rule, std::size_t index, unsigned char byte) {
  return index == 1 ? (byte >= rule.low && byte <= rule.high) : IsContinuation(byte);
}

}  // namespace

Utf8Step DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};

  const LeadRule rule = RuleOf(lead);
  if (rule.length == 0 || at + rule.length > text.size()) return {0xFFFD, 1, false};
  char32_t codePoint = rule.bits;
  for (std::size_t i = 1; i < rule.length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!Follows(rule, i, byte)) return {0xFFFD, 1, false};
    codePoint = (codePoint << 6U) | (byte & 0x3FU);
  }
  return {codePoint, rule.length, true};
}

std::size_t IncompleteUtf8Tail(std::string_view text) {
  for (std::size_t kept = 1; kept <= 3 && kept <= text.size(); ++kept) {
    const std::string_view tail = text.substr(text.size() - kept);
    const auto lead = static_cast<unsigned char>(tail.front());
    if (IsContinuation(lead)) continue;
    const LeadRule rule = RuleOf(lead);
    if (rule.length <= kept) return 0;  // complete, or not a sequence at all
    for (std::size_t i = 1; i < kept; ++i) {
      if (!Follows(rule, i, static_cast<unsigned char>(tail[i]))) return 0;
    }
    return kept;
  }
  return 0;
}

}  // namespace mivaro

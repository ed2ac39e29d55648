// SPDX-License-Identifier: Apache-2.0
#include "core/utf8.h"

namespace mivaro {

std::size_t IncompleteUtf8Tail(std::string_view text) {
  for (std::size_t kept = 1; kept <= 3 && kept <= text.size(); ++kept) {
    const std::string_view tail = text.substr(text.size() - kept);
    const auto lead = static_cast<unsigned char>(tail.front());
    if (utf8_detail::IsContinuation(lead)) continue;
    const utf8_detail::LeadRule rule = utf8_detail::RuleOf(lead);
    if (rule.length <= kept) return 0;  // complete, or not a sequence at all
    for (std::size_t i = 1; i < kept; ++i) {
      if (!utf8_detail::Follows(rule, i, static_cast<unsigned char>(tail[i]))) return 0;
    }
    return kept;
  }
  return 0;
}

}  // namespace mivaro

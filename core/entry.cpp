// SPDX-License-Identifier: Apache-2.0
#include "core/entry.h"

#include <algorithm>

#include "core/evaluation.h"
#include "core/utf8.h"

namespace mivaro {

std::size_t CountCharacters(std::string_view utf8, std::size_t limit) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < utf8.size() && count < limit; ++count) {
    at += DecodeUtf8(utf8, at).length;
  }
  return count;
}

EntryKind ClassifyEntry(std::string_view utf8Entry) {
  // A character takes at least one byte, so a short entry needs no counting.
  if (utf8Entry.size() > kNumberLength &&
      CountCharacters(utf8Entry, kNumberLength + 1) > kNumberLength) {
    return EntryKind::TooLong;
  }
  const bool digitsOnly =
      std::all_of(utf8Entry.begin(), utf8Entry.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digitsOnly) return EntryKind::NotDigitsOnly;
  if (utf8Entry.size() < kNumberLength) return EntryKind::TooShort;
  return EntryKind::WellFormed;
}

}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
#include "ui/entry.h"

#include <mivaro/sin.h>

#include <algorithm>

#include "text/utf8.h"

namespace mivaro {

EntryKind ClassifyEntry(std::string_view utf8Entry) {
  // A character takes at least one byte, so a short entry needs no counting.
  if (utf8Entry.size() > kNumberLength &&
      text::CountCharacters(utf8Entry, kNumberLength + 1) > kNumberLength) {
    return EntryKind::TooLong;
  }
  const bool digitsOnly =
      std::all_of(utf8Entry.begin(), utf8Entry.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digitsOnly) return EntryKind::NotDigitsOnly;
  if (utf8Entry.size() < kNumberLength) return EntryKind::TooShort;
  return EntryKind::WellFormed;
}

}  // namespace mivaro

#include "core/entry.h"

#include <algorithm>

#include "core/evaluation.h"

namespace mivaro {

std::size_t CountCharacters(std::string_view utf8, std::size_t limit) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (at < utf8.size() && count < limit) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    }
    // Accept the sequence only when its continuation bytes are there; a broken
    // sequence counts its lead byte as one character and resumes after it.
    std::size_t continuation = 1;
    while (continuation < length && at + continuation < utf8.size() &&
           (static_cast<unsigned char>(utf8[at + continuation]) & 0xC0U) == 0x80U) {
      ++continuation;
    }
    at += continuation == length ? length : 1;
    ++count;
  }
  return count;
}

EntryKind ClassifyEntry(std::string_view utf8Entry) {
  if (CountCharacters(utf8Entry, kNumberLength + 1) > kNumberLength) return EntryKind::TooLong;
  const bool digitsOnly =
      std::all_of(utf8Entry.begin(), utf8Entry.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digitsOnly) return EntryKind::NotDigitsOnly;
  if (utf8Entry.size() < kNumberLength) return EntryKind::TooShort;
  return EntryKind::WellFormed;
}

}  // namespace mivaro

// SPDX-License-Identifier: Apache-2.0
// Check and IsValid: the fast routes to the grammar's verdict for the forms
// entries take most often (nine bare digits, three groups with blanks
// around), and the grammar itself for every other entry. Held to the
// grammar by the table of entries and the fuzz target.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "entry_grammar.h"
#include "mivaro/sin.h"
#include "nine_digits.h"
#include "separators.h"
#include "text/utf8.h"

namespace mivaro {
namespace {

using detail::Evaluate;
using detail::JoinsGroupsInEntry;
using detail::kTextMark;

// Whether an entry's bytes leave it any chance of being valid: exactly nine
// ASCII digits, and no other ASCII byte but blanks, group separators and the
// text mark. Most malformed entries are refused so, before any decoding.
bool MayBeValid(std::string_view entry) {
  static constexpr std::array<bool, 0x80> kAllowed = [] {
    std::array<bool, 0x80> allowed{};
    for (char32_t c = 0; c < 0x80; ++c) {
      allowed[c] = text::IsBlank(c) || JoinsGroupsInEntry(c) || c == kTextMark;
    }
    return allowed;
  }();
  std::size_t digits = 0;
  for (const char c : entry) {
    const auto byte = static_cast<unsigned char>(c);
    if (static_cast<unsigned>(byte - '0') <= 9U) {
      ++digits;
    } else if (byte < 0x80 && !kAllowed[byte]) {
      return false;
    }
  }
  return digits == kNumberLength;
}

// The blank that ends text, as its length in bytes; 0 when text does not end
// in one. Steps back over continuation bytes to the last character's start.
std::size_t TrailingBlank(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0U) != 0x80U) break;
  }
  if (start == text.size()) return 0;
  const text::Utf8Step step = text::DecodeUtf8(text, start);
  return step.valid && start + step.length == text.size() && text::IsBlank(step.codePoint)
             ? step.length
             : 0;
}

// The nine digits of content that is a number as people and spreadsheets
// write it, decoding only the separators: nine bare digits, or three groups
// of three joined twice by one separator character.
bool ReadContentBytes(std::string_view content, Number& digits) {
  if (content.size() == kNumberLength) {
    std::memcpy(digits.data(), content.data(), kNumberLength);
    return true;  // Evaluate finds out whether they are digits
  }
  // A separator takes one to four bytes; past four the content is no
  // common form.
  if (content.size() < 11 || content.size() > 17 || content.size() % 2 == 0) return false;
  const std::size_t separatorBytes = (content.size() - kNumberLength) / 2;
  const std::string_view separator = content.substr(3, separatorBytes);
  // Both separators compared at once: four bytes from each, as many kept
  // as a separator takes (the content is long enough to read them).
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  std::memcpy(&first, content.data() + 3, sizeof first);
  std::memcpy(&second, content.data() + 6 + separatorBytes, sizeof second);
  const std::uint32_t low =
      separatorBytes == 4 ? ~std::uint32_t{0} : (std::uint32_t{1} << (8 * separatorBytes)) - 1;
  // The first bytes in memory are the low ones on a little-endian machine.
  const std::uint32_t kept = std::endian::native == std::endian::little
                                 ? low
                                 : ~std::uint32_t{0} << (32 - 8 * separatorBytes);
  if (((first ^ second) & kept) != 0) return false;
  const text::Utf8Step step = text::DecodeUtf8(separator, 0);
  if (!step.valid || step.length != separatorBytes || !JoinsGroupsInEntry(step.codePoint)) {
    return false;
  }
  std::memcpy(digits.data(), content.data(), 3);
  std::memcpy(digits.data() + 3, content.data() + 3 + separatorBytes, 3);
  std::memcpy(digits.data() + 6, content.data() + 6 + 2 * separatorBytes, 3);
  return true;
}

// Reads the nine digits of an entry in a common form (bare or grouped 3-3-3,
// blanks around) from its bytes, without decoding it whole.
bool ReadCommonForm(std::string_view entry, Number& digits) {
  std::string_view content = entry;
  while (!content.empty()) {
    const auto lead = static_cast<unsigned char>(content.front());
    const text::Utf8Step step =
        lead < 0x80 ? text::Utf8Step{lead, 1, true} : text::DecodeUtf8(content, 0);
    if (!step.valid || !text::IsBlank(step.codePoint)) break;
    content.remove_prefix(step.length);
  }
  while (const std::size_t blank = TrailingBlank(content)) content.remove_suffix(blank);
  return ReadContentBytes(content, digits);
}

// The verdict on a short entry whose content between its blanks is nine
// digits, bare or grouped, found without decoding the whole entry: the way
// spreadsheet cells usually come, no-break spaces and byte-order marks
// around. Returns false, result untouched, for every other entry; the
// grammar then gives the same verdict the long way.
bool CheckCommonForm(std::string_view entry, Result& result) {
  Number digits{};
  return ReadCommonForm(entry, digits) && Evaluate(digits.data(), result);
}

// Entries past this length go the grammar's way: spreadsheet cells and form
// fields are shorter.
constexpr std::size_t kShortEntryBytes = 64;

}  // namespace

Result Check(std::string_view entry) noexcept {
  // One result, returned from every path, so that it is built in place.
  Result result;
  // Most entries are nine bare digits; most others a common form.
  if (entry.size() == kNumberLength && Evaluate(entry.data(), result)) return result;
  if (entry.size() <= kShortEntryBytes && CheckCommonForm(entry, result)) return result;
  result = detail::CheckByGrammar(entry);
  return result;
}

bool IsValid(std::string_view entry) noexcept {
  // Nine zeros sum to 0, which does not pass, so the placeholder needs no test.
  if (int sum = 0; detail::SumOfNineDigits(entry, sum)) return SumPasses(sum);
  if (!MayBeValid(entry)) return false;
  // The other common forms are summed straight from their bytes too, with no
  // result to fill.
  if (Number digits{}; entry.size() > kNumberLength && entry.size() <= kShortEntryBytes &&
                       ReadCommonForm(entry, digits)) {
    if (int sum = 0; detail::SumOfNineDigits(std::string_view(digits.data(), digits.size()), sum)) {
      return SumPasses(sum);
    }
  }
  return Check(entry).valid;
}

std::string Compact(std::string_view entry) {
  std::string compact;
  compact.reserve(entry.size());
  for (std::size_t at = 0; at < entry.size();) {
    const text::Utf8Step step = text::DecodeUtf8(entry, at);
    if (!step.valid || (!text::IsBlank(step.codePoint) && !JoinsGroupsInEntry(step.codePoint))) {
      compact.append(entry.substr(at, step.length));
    }
    at += step.length;
  }
  return compact;
}

}  // namespace mivaro

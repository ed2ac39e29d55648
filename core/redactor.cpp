// SPDX-License-Identifier: Apache-2.0
// Redaction: the digits of every match written over with '*', every other
// byte as it was, so that the text keeps its length, offsets and encoding.
#include "mivaro/scan.h"

namespace mivaro {

void RedactDigits(char* matchBytes, std::size_t length, bool allDigits) noexcept {
  const std::size_t hidden = allDigits ? kNumberLength : HiddenDigits(kNumberLength);
  std::size_t digits = 0;
  for (std::size_t at = 0; at < length && digits < hidden; ++at) {
    if (matchBytes[at] >= '0' && matchBytes[at] <= '9') {
      matchBytes[at] = '*';
      ++digits;
    }
  }
}

Redactor::Redactor(const RedactOptions& options)
    : searcher_({.minimum = options.minimum, .places = false}), allDigits_(options.allDigits) {}
Redactor::~Redactor() = default;
Redactor::Redactor(Redactor&&) noexcept = default;
Redactor& Redactor::operator=(Redactor&&) noexcept = default;

void Redactor::Hide(const Found& found) noexcept {
  // The match's bytes lie in the searcher's own buffer, which it hands on
  // next: the redactor feeds or streams text, never lends it.
  RedactDigits(const_cast<char*>(found.text.data()), found.text.size(), allDigits_);
  ++redacted_;
}

std::uint64_t Redactor::RedactInPlace(std::span<char> text) {
  // Written over as each match is reported: the rules never look back into
  // a match reported before (its digits would have kept the next number
  // from standing alone), so the stars change nothing found after them.
  const std::uint64_t before = redacted_;
  searcher_.Search(std::string_view(text.data(), text.size()),
                   [&](const Found& found) { Hide(found); });
  return redacted_ - before;
}

void Redactor::SetOptions(const RedactOptions& options) noexcept {
  searcher_.SetOptions({.minimum = options.minimum, .places = false});
  allDigits_ = options.allDigits;
}

std::string Redact(std::string_view text, const RedactOptions& options) {
  std::string redacted(text);
  Redactor(options).RedactInPlace(redacted);
  return redacted;
}

}  // namespace mivaro

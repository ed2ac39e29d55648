// SPDX-License-Identifier: Apache-2.0
#include "cli/entry_parser.h"

#include <algorithm>

#include "text/utf8.h"

namespace mivaro::cli {
namespace {

std::size_t CountDigits(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

// Returns how many bytes of text make its first characters, at most limit of
// them; each byte of ill-formed UTF-8 counts as one.
std::size_t BytesOfCharacters(std::string_view text, std::size_t limit) {
  std::size_t at = 0;
  for (std::size_t count = 0; at < text.size() && count < limit; ++count) {
    at += text::DecodeUtf8(text, at).length;
  }
  return at;
}

}  // namespace

std::string_view ErrorWords(Error error) {
  if (error == Error::NotUtf8) return "not UTF-8 (try --encoding cp1252)";
  return ErrorText(error);
}

std::string ReasonList() {
  std::string list;
  for (auto reason = static_cast<int>(Error::TooLong); reason <= static_cast<int>(kLastError);
       ++reason) {
    if (!list.empty()) list += ", ";
    list += ErrorWords(static_cast<Error>(reason));
  }
  return list;
}

void EntryAccumulator::Feed(std::string_view piece) {
  if (piece.empty()) return;
  endsInCr_ = piece.back() == '\r';
  reader_.Feed(piece);
  digitCount_ += CountDigits(piece);
  if (echoCharacters_ > kInputCharacters) return;
  std::string joined;
  if (!carry_.empty()) {
    // A character was cut at the end of the previous piece: rejoin it.
    joined = std::move(carry_);
    joined += piece;
    piece = joined;
  }
  const std::size_t tail = text::IncompleteUtf8Tail(piece);
  EchoComplete(piece.substr(0, piece.size() - tail));
  carry_.assign(piece.substr(piece.size() - tail));
}

void EntryAccumulator::EchoComplete(std::string_view text) {
  for (std::size_t at = 0; at < text.size() && echoCharacters_ <= kInputCharacters;) {
    const std::size_t length = text::DecodeUtf8(text, at).length;
    if (++echoCharacters_ <= kInputCharacters) input_.append(text.substr(at, length));
    at += length;
  }
}

ParsedEntry EntryAccumulator::Finish() {
  // What is left of a cut character will never be completed: its bytes are
  // ill-formed, one character each.
  const std::string rest = std::move(carry_);
  EchoComplete(rest);

  ParsedEntry entry;
  if (endsInCr_ && echoCharacters_ <= kInputCharacters) input_.pop_back();
  entry.input = std::move(input_);
  entry.digitCount = digitCount_;
  entry.result = reader_.Finish();
  *this = EntryAccumulator();
  return entry;
}

ParsedEntry ParseEntry(std::string_view entry) {
  ParsedEntry parsed;
  ParseEntry(entry, parsed);
  return parsed;
}

void ParseEntry(std::string_view entry, ParsedEntry& parsed) {
  parsed.result = Check(entry);
  if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
  // An entry of at most a hundred bytes is at most a hundred characters.
  parsed.input.assign(entry.size() <= kInputCharacters
                          ? entry
                          : entry.substr(0, BytesOfCharacters(entry, kInputCharacters)));
  // A well-formed number's digits are the nine ASCII digits of the entry:
  // blanks, separators and a text mark are none.
  parsed.digitCount = parsed.result.WellFormed() ? kNumberLength : CountDigits(entry);
}

}  // namespace mivaro::cli

// SPDX-License-Identifier: Apache-2.0
// EntryReader: the grammar's verdict on an entry that arrives in pieces, in
// fixed memory, held to CheckByGrammar by the table of entries.
#include <algorithm>
#include <array>
#include <cstring>

#include "entry_grammar.h"
#include "mivaro/sin.h"
#include "text/utf8.h"

namespace mivaro {

void EntryReader::Feed(std::string_view piece) noexcept {
  if (carried_ != 0) {
    // A character was cut at the end of the previous piece: complete it with
    // the bytes it still needs, as far as this piece has them.
    const std::size_t needed = text::SequenceLength(static_cast<unsigned char>(carry_[0]));
    const std::size_t taken = std::min(needed - carried_, piece.size());
    std::memcpy(carry_.data() + carried_, piece.data(), taken);
    carried_ += taken;
    piece.remove_prefix(taken);
    if (carried_ < needed) return;
    carried_ = 0;
    Scan(std::string_view(carry_.data(), needed));
  }
  const std::size_t tail = text::IncompleteUtf8Tail(piece);
  Scan(piece.substr(0, piece.size() - tail));
  std::memcpy(carry_.data(), piece.data() + piece.size() - tail, tail);
  carried_ = tail;
}

void EntryReader::Scan(std::string_view text) noexcept {
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    bool blank = false;
    if (byte < 0x80) {
      blank = text::IsAsciiBlank(byte);
    } else {
      const text::Utf8Step step = text::DecodeUtf8(text, at);
      length = step.length;
      blank = step.valid && text::IsBlank(step.codePoint);
      invalid_ = invalid_ || !step.valid;
    }
    const std::string_view bytes = text.substr(at, length);
    at += length;
    if (blank) {
      if (!started_) continue;
      // Held back until more content follows, so trailing blanks never count.
      ++pendingBlanks_;
      if (bufferedBytes_ + bytes.size() <= content_.size()) {
        std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
        bufferedBytes_ += bytes.size();
      }
      continue;
    }
    started_ = true;
    if (overflowed_) continue;
    // Each character takes at most four bytes, so within the character bound
    // the buffer always has room.
    if (contentCharacters_ + pendingBlanks_ + 1 > kContentCharacters ||
        bufferedBytes_ + bytes.size() > content_.size()) {
      overflowed_ = true;
      continue;
    }
    std::memcpy(&content_[bufferedBytes_], bytes.data(), bytes.size());
    bufferedBytes_ += bytes.size();
    contentBytes_ = bufferedBytes_;
    contentCharacters_ += pendingBlanks_ + 1;
    pendingBlanks_ = 0;
  }
}

Result EntryReader::Finish() noexcept {
  // What is left of a cut character will never be completed: its bytes are
  // ill-formed, one character each.
  if (carried_ != 0) {
    const std::array<char, 4> rest = carry_;
    const std::size_t count = carried_;
    carried_ = 0;
    Scan(std::string_view(rest.data(), count));
  }
  Result result;
  if (invalid_) {
    result = detail::Malformed(Error::NotUtf8);
  } else if (overflowed_) {
    result = detail::Malformed(Error::TooLong);
  } else {
    result = detail::JudgeContent(std::string_view(content_.data(), contentBytes_));
  }
  *this = EntryReader();
  return result;
}

}  // namespace mivaro

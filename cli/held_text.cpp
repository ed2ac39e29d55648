// SPDX-License-Identifier: Apache-2.0
#include "cli/held_text.h"

#include <algorithm>
#include <cstring>

namespace mivaro::cli {

void HeldText::Advance(std::uint64_t to) {
  const std::string_view bytes = View(counted_, static_cast<std::size_t>(to - counted_));
  // memchr from line to line: libc's is the fastest search there is.
  const char* const end = bytes.data() + bytes.size();
  const char* lineStart = nullptr;
  for (const char* at = bytes.data();
       (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))));
       lineStart = ++at) {
    ++position_.line;
  }
  if (lineStart != nullptr) position_.column = 1;
  // Every byte but a UTF-8 continuation byte starts a character.
  position_.column += static_cast<std::uint64_t>(
      std::count_if(lineStart != nullptr ? lineStart : bytes.data(), end,
                    [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U; }));
  counted_ = to;
}

HeldText::Position HeldText::PositionOf(std::uint64_t offset) {
  Advance(offset);
  return position_;
}

void HeldText::Forget(std::uint64_t upTo) {
  if (upTo <= start_) return;
  Advance(std::max(counted_, upTo));
  held_.erase(0, static_cast<std::size_t>(upTo - start_));
  start_ = upTo;
}

}  // namespace mivaro::cli

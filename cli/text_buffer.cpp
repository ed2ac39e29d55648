// SPDX-License-Identifier: Apache-2.0
#include "cli/text_buffer.h"

#include <algorithm>

namespace mivaro::cli {

void TextBuffer::Grow(std::size_t count) {
  const std::size_t capacity = std::max(2 * capacity_, size_ + count);
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

}  // namespace mivaro::cli

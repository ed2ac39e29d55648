// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace mivaro::cli {

// A growable run of bytes with inline appends. The bulk commands build their
// output here a few bytes at a time, millions of times over, and std::string's
// out-of-line append and fill cost more than all the checking.
class TextBuffer {
 public:
  using value_type = char;  // for std::back_inserter

  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // Inlined everywhere, so that appends of a known length become plain moves.
  [[gnu::always_inline]] void operator+=(std::string_view text) {
    Append(text.data(), text.size());
  }
  [[gnu::always_inline]] void operator+=(char c) {
    Reserve(1);
    data_[size_++] = c;
  }
  void push_back(char c) { *this += c; }

  [[gnu::always_inline]] void Append(const char* bytes, std::size_t count) {
    Reserve(count);
    if (count != 0) std::memcpy(data_.get() + size_, bytes, count);
    size_ += count;
  }

  // Makes room for count more bytes, so that appending them grows the
  // buffer at most once.
  [[gnu::always_inline]] void Reserve(std::size_t count) {
    if (capacity_ - size_ < count) Grow(count);
  }

  // Returns room for count bytes at the end, counted as written; the caller
  // fills all of them.
  char* Extend(std::size_t count) {
    Reserve(count);
    char* at = data_.get() + size_;
    size_ += count;
    return at;
  }

  // Appends count copies of c.
  void Fill(std::size_t count, char c) {
    Reserve(count);
    std::memset(data_.get() + size_, c, count);
    size_ += count;
  }

  // Forgets everything after the first size bytes.
  void Truncate(std::size_t size) { size_ = size < size_ ? size : size_; }
  void clear() { size_ = 0; }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char back() const { return data_[size_ - 1]; }
  std::string_view View() const { return {data_.get(), size_}; }

 private:
  // Out of line: runs only a few times in a whole run.
  void Grow(std::size_t count);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace mivaro::cli

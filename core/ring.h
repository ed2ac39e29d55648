// SPDX-License-Identifier: Apache-2.0
#pragma once

// Storage the searcher keeps between texts: a queue of at most N items and a
// run of bytes, each grown only as a text needs it and kept for the next
// text, so that making a searcher costs nothing and searching allocates
// nothing once it has seen its largest text.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace mivaro::detail {

// A queue of at most N items, N a power of two; its room, too, is always a
// power of two, so that finding an item takes a mask, not a division.
template <typename T, std::size_t N>
class Ring {
  static_assert((N & (N - 1)) == 0, "a ring's size is a power of two");

 public:
  bool empty() const { return size_ == 0; }
  bool full() const { return size_ == N; }
  std::size_t size() const { return size_; }
  T& front() { return items_[first_]; }
  const T& front() const { return items_[first_]; }
  const T& operator[](std::size_t index) const { return items_[Wrap(first_ + index)]; }
  // Pushing onto a full ring drops its front; the caller makes room first.
  void push_back(const T& item) { Add() = item; }
  // Adds an item at the back, as it was left there, for the caller to fill
  // in place.
  T& Add() {
    if (size_ == items_.size()) {
      if (items_.size() == N) {
        pop_front();
      } else {
        Grow();
      }
    }
    return items_[Wrap(first_ + size_++)];
  }
  void pop_front() {
    first_ = Wrap(first_ + 1);
    --size_;
  }
  void clear() {
    first_ = 0;
    size_ = 0;
  }

 private:
  std::size_t Wrap(std::size_t index) const { return index & (items_.size() - 1); }

  // Doubles the room, the items in their order from the start.
  void Grow() {
    std::vector<T> grown(std::min(N, std::max<std::size_t>(16, 2 * items_.size())));
    for (std::size_t i = 0; i < size_; ++i) grown[i] = (*this)[i];
    items_.swap(grown);
    first_ = 0;
  }

  std::vector<T> items_;
  std::size_t first_ = 0;
  std::size_t size_ = 0;
};

// A run of bytes that grows at its end, is read into in place, and forgets
// its start. Its room is left as it comes: whatever is read into it writes
// it first.
class ByteBuffer {
 public:
  std::string_view View() const { return {data_.get(), size_}; }
  char* Data() { return data_.get(); }
  std::size_t size() const { return size_; }

  // Returns room for count more bytes at the end; Commit says how many of
  // them were written.
  char* Room(std::size_t count) {
    if (capacity_ - size_ < count) {
      const std::size_t capacity = std::max(size_ + count, 2 * capacity_);
      Bytes grown(static_cast<char*>(::operator new(capacity)));
      if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }
  void Commit(std::size_t count) { size_ += count; }
  void Append(std::string_view bytes) {
    std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
    Commit(bytes.size());
  }
  // Forgets the first count bytes.
  void Drop(std::size_t count) {
    std::memmove(data_.get(), data_.get() + count, size_ - count);
    size_ -= count;
  }
  void clear() { size_ = 0; }

 private:
  struct Free {
    void operator()(char* bytes) const { ::operator delete(bytes); }
  };
  using Bytes = std::unique_ptr<char[], Free>;

  Bytes data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace mivaro::detail

#pragma once
// The program's values: texts are GBK byte strings, byte sets are counted byte buffers,
// arrays are 1-based and check every indexed access.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/runtimeError.h"

// A zero-terminated byte string in code page 936. The empty and the absent text are one value.
using Text = std::string;

// A counted byte buffer (pictures, request bodies, file contents).
using ByteSet = std::vector<std::uint8_t>;

// The text's bytes without the terminating zero.
ByteSet toBytes(std::string_view text);

// The bytes before the first zero byte, or all of them when there is none.
Text toText(const ByteSet& bytes);
Text toText(const std::uint8_t* data, std::size_t count);

// A growable array indexed from 1. An index below 1 or above the count is a fatal runtime error.
template <typename T>
class Array {
 public:
  Array() = default;
  Array(std::initializer_list<T> items) : items_(items) {}

  int count() const { return static_cast<int>(items_.size()); }
  bool empty() const { return items_.empty(); }

  T& operator[](int index) { return items_[checked(index)]; }
  const T& operator[](int index) const { return items_[checked(index)]; }

  void append(T item) { items_.push_back(std::move(item)); }
  // Removes the element at a 1-based index; later elements move down by one.
  void remove(int index) { items_.erase(items_.begin() + checked(index)); }
  void clear() { items_.clear(); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::size_t checked(int index) const {
    if (index < 1) raiseRuntimeError(kErrorIndexBelowOne, kMessageIndexBelowOne);
    if (index > count()) raiseRuntimeError(kErrorIndexOutOfRange, kMessageIndexOutOfRange);
    return static_cast<std::size_t>(index - 1);
  }

  std::vector<T> items_;
};

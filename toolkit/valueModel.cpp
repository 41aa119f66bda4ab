#include "toolkit/valueModel.h"

#include <cstring>

ByteSet toBytes(std::string_view text) {
  return ByteSet(text.begin(), text.end());
}

Text toText(const std::uint8_t* data, std::size_t count) {
  const void* zero = std::memchr(data, 0, count);
  std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : count;
  return Text(reinterpret_cast<const char*>(data), length);
}

Text toText(const ByteSet& bytes) {
  return bytes.empty() ? Text() : toText(bytes.data(), bytes.size());
}

#pragma once
// The byte-level reading of GBK texts that the primitives and the search share. A byte of 0x80 or
// above starts a two-byte character.
#include <cstddef>
#include <string_view>

namespace gbk::bytes {

using Byte = unsigned char;

inline const Byte* bytesOf(std::string_view text) {
  return reinterpret_cast<const Byte*>(text.data());
}

inline bool isHigh(Byte b) {
  return b >= 0x80;
}
inline std::size_t characterLength(Byte lead) {
  return isHigh(lead) ? 2 : 1;
}
inline Byte foldLetter(Byte b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + ('a' - 'A')) : b;
}

// Whether `pos` starts a character, given that `known` (<= pos) does. The byte after one below
// 0x80 always starts a character (that byte ended a one-byte character or a pair), so only the
// run of high bytes right before `pos` decides: an even run is made of whole pairs.
inline bool startsCharacter(const Byte* p, std::size_t known, std::size_t pos) {
  std::size_t k = pos;
  while (k > known && isHigh(p[k - 1])) --k;
  return ((pos - k) & 1) == 0;
}

}  // namespace gbk::bytes

#pragma once
// Byte sets carried in the program's constant data (pictures, the trim tool). Each block is laid
// out as a byte set: a dimension count of 1, the byte count (int32), then the bytes.
#include <cstdint>

#include "toolkit/valueModel.h"

struct EmbeddedBytes {
  std::int32_t dimensions;
  std::int32_t count;
  std::uint8_t data[1];  // count bytes follow

  const std::uint8_t* begin() const {
    // The block runs on past the declared struct: hide the bound from the optimiser, which would
    // otherwise take every byte after data[0] for an out-of-bounds read.
    const std::uint8_t* bytes = data;
    __asm__("" : "+r"(bytes));
    return bytes;
  }
  const std::uint8_t* end() const { return begin() + count; }
  ByteSet toByteSet() const { return ByteSet(begin(), end()); }
};

// Declares an embedded block by its assembler symbol (see cmake/embed.cmake).
#define QV_EMBEDDED(name) extern "C" const EmbeddedBytes name __asm__(#name)

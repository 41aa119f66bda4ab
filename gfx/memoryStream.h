#pragma once
// A COM stream over a global memory block that holds its own copy of the bytes, so an image
// decoded from it does not depend on the caller's buffer.
#include <objidl.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "toolkit/valueModel.h"

class MemoryStream {
 public:
  MemoryStream() = default;
  MemoryStream(MemoryStream&& other) noexcept;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  MemoryStream& operator=(MemoryStream&&) = delete;
  ~MemoryStream() { Release(); }

  // Replaces the stream with one over a private copy of the bytes, positioned at the start; no
  // bytes give an empty stream that grows as it is written. Returns the stream, null on failure.
  IStream* CreateFromBytes(const std::uint8_t* data, std::size_t size);
  IStream* CreateFromBytes(const ByteSet& bytes) { return CreateFromBytes(bytes.data(), bytes.size()); }
  // Lets go of the stream and frees its block.
  void Release();
  // Takes over one reference to a stream on global memory, and its block.
  bool Attach(IStream* stream);

  std::size_t GetSize() const;
  IStream* GetStream() const { return stream_; }
  HGLOBAL GetGlobal() const { return global_; }
  // A copy of the bytes written to the stream.
  ByteSet ToBytes() const;

 private:
  HGLOBAL global_ = nullptr;
  IStream* stream_ = nullptr;
};

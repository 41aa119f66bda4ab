#include "gfx/memoryStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "win32/declared.h"

MemoryStream::MemoryStream(MemoryStream&& other) noexcept
    : global_(std::exchange(other.global_, nullptr)), stream_(std::exchange(other.stream_, nullptr)) {}

IStream* MemoryStream::CreateFromBytes(const std::uint8_t* data, std::size_t size) {
  Release();
  HGLOBAL global = nullptr;
  if (size > 0) {
    global = dll::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!global) return nullptr;
    void* block = dll::GlobalLock(global);
    if (!block) {
      dll::GlobalFree(global);
      return nullptr;
    }
    std::memcpy(block, data, size);
    dll::GlobalUnlock(global);
  }
  // The block stays ours (not freed with the stream); with no block the stream makes its own.
  IStream* stream = nullptr;
  if (FAILED(dll::CreateStreamOnHGlobal(global, FALSE, &stream))) {
    if (global) dll::GlobalFree(global);
    return nullptr;
  }
  stream_ = stream;
  if (!global) dll::GetHGlobalFromStream(stream, &global);
  global_ = global;
  return stream_;
}

void MemoryStream::Release() {
  if (!stream_) return;
  stream_->Release();
  if (global_) dll::GlobalFree(global_);
  global_ = nullptr;
  stream_ = nullptr;
}

bool MemoryStream::Attach(IStream* stream) {
  Release();
  HGLOBAL global = nullptr;
  dll::GetHGlobalFromStream(stream, &global);
  stream_ = stream;
  global_ = global;
  return global_ != nullptr;
}

std::size_t MemoryStream::GetSize() const {
  return global_ ? dll::GlobalSize(global_) : 0;
}

ByteSet MemoryStream::ToBytes() const {
  std::size_t size = GetSize();
  // The block may be larger than what was written to the stream.
  STATSTG status = {};
  if (stream_ && SUCCEEDED(stream_->Stat(&status, STATFLAG_NONAME))) {
    size = std::min<std::size_t>(size, static_cast<std::size_t>(status.cbSize.QuadPart));
  }
  if (size == 0) return {};
  const auto* block = static_cast<const std::uint8_t*>(dll::GlobalLock(global_));
  if (!block) return {};
  ByteSet bytes(block, block + size);
  dll::GlobalUnlock(global_);
  return bytes;
}

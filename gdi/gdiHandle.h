#pragma once
// Owners of GDI objects (bitmaps, brushes, regions, pens, fonts): whoever holds one deletes it.
#include <windows.h>

#include <utility>

// Deletes a GDI object through the declared-function table (null is ignored).
void deleteGdiObject(HGDIOBJ object);

// An owned GDI object (bitmap, brush, region, pen, font), deleted unless released.
template <typename Handle>
class GdiHandleOwner {
 public:
  GdiHandleOwner() = default;
  explicit GdiHandleOwner(Handle handle) : handle_(handle) {}
  GdiHandleOwner(GdiHandleOwner&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiHandleOwner& operator=(GdiHandleOwner&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  GdiHandleOwner(const GdiHandleOwner&) = delete;
  GdiHandleOwner& operator=(const GdiHandleOwner&) = delete;
  ~GdiHandleOwner() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_) ::deleteGdiObject(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};
using OwnedBitmap = GdiHandleOwner<HBITMAP>;
using OwnedBrush = GdiHandleOwner<HBRUSH>;
using OwnedRegion = GdiHandleOwner<HRGN>;

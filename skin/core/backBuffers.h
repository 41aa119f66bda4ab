#pragma once
// Back buffers: device contexts that already hold the skin background behind a control, so that
// every control is drawn translucently over the window's skin; and the whitened background for
// the pattern brushes. Shared by the frame painter and the control renderers.
#include <windows.h>

// A memory device context with a 32-bit ARGB bitmap of the rectangle's size, holding the skin
// background that lies behind that rectangle of the control. The rectangle is in the control's
// window coordinates (0, 0 is the top-left of its window rectangle). Entered in the engine's
// back-buffer table. A control without a skinned ancestor gets transparent black.
HDC createBackBuffer(HWND control, const RECT& rectangle);
// Restores, deletes and removes the buffer's entry; 0 when the device context is not a back
// buffer (it is then left alone), 1 otherwise.
int releaseBackBuffer(HDC dc);

// The control's client rectangle in its window coordinates: borders taken as equal on both
// sides, with 17 pixels counted for a vertical (WS_VSCROLL) or horizontal (WS_HSCROLL) bar.
RECT clientRectInWindow(HWND control);

// A bitmap of the skin background behind the control's client area, whitened with the global
// translucency; the caller owns it (pattern brushes of edit boxes, list boxes, combo boxes).
HBITMAP whitenedBackgroundBitmap(HWND control);

// The offset of the control's window rectangle within the background buffer of the skinned
// window that owns it (its record index in ownerIndex, 0 when no ancestor is skinned).
POINT offsetInSkinnedWindow(HWND control, int* ownerIndex = nullptr);

// A back buffer released when it goes out of scope.
class BackBuffer {
 public:
  BackBuffer(HWND control, const RECT& rectangle)
      : dc_(createBackBuffer(control, rectangle)),
        width_(rectangle.right - rectangle.left),
        height_(rectangle.bottom - rectangle.top) {}
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  ~BackBuffer() {
    if (dc_) releaseBackBuffer(dc_);
  }

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HDC dc_;
  int width_;
  int height_;
};

#pragma once
// The whitened skin background behind a control's client area: the skin seen through white at
// the global translucency, behind the text of edit boxes, list-like controls and the composed
// transparent controls.
#include <windows.h>

// A back buffer of the control's client rectangle (its window coordinates) filled with white at
// the global translucency. Release it with releaseBackBuffer.
HDC whitenedBackBuffer(HWND control);

// A whitened back buffer released at the end of its scope.
class WhitenedBuffer {
 public:
  explicit WhitenedBuffer(HWND control) : dc_(whitenedBackBuffer(control)) {}
  WhitenedBuffer(const WhitenedBuffer&) = delete;
  WhitenedBuffer& operator=(const WhitenedBuffer&) = delete;
  ~WhitenedBuffer();
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
};

// The whitened skin background behind the client area, into the control's device context: the
// background of edit boxes, and of IP address and date-time fields.
void paintEditBackground(HWND edit, HDC dc);

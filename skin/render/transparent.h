#pragma once
// Transparent controls: labels, picture boxes, drawing panels and shape boxes paint themselves
// as usual, and the result is composed over the skin background with the control's key colour
// (normally the system face colour) left out.
#include <windows.h>

LRESULT CALLBACK transparentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Classes that can paint into a device context they are given (WM_PAINT with wParam) are
// composed off screen (mode A); all others paint on screen and are picked up from there (mode B).
bool composesOffScreen(HWND control);
// Mode A: the control paints over a back buffer of the skin; its key-coloured pixels are replaced
// by the whitened background. Returns the result of the control's own paint.
LRESULT composeOffScreen(HWND control, WNDPROC saved, COLORREF key);
// Mode B: the control paints on screen; its pixels other than the key colour are laid onto the
// skin background behind the update rectangle, and the result goes back to the screen.
LRESULT composeOnScreen(HWND control, WNDPROC saved, COLORREF key);

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

// Invalidates (with erasing) every visible child window, so that they paint over what their
// parent has just put behind them.
void invalidateVisibleChildren(HWND window);

#pragma once
// What the three button painters share: a back buffer that already holds the skin behind the
// button, a graphics on it, the caption from the button's record, and the single copy to the
// control that makes the paint flicker-free.
#include <windows.h>

#include "gfx/graphics.h"
#include "gfx/path.h"
#include "skin/core/backBuffers.h"

class ButtonCanvas {
 public:
  ButtonCanvas(HWND button, const RECT& client);
  ButtonCanvas(const ButtonCanvas&) = delete;
  ButtonCanvas& operator=(const ButtonCanvas&) = delete;

  Graphics& graphics() { return graphics_; }
  int width() const { return buffer_.width(); }
  int height() const { return buffer_.height(); }

  // The record's text in its font, in the Kj_Ztys colour, vertically centred in the layout.
  void drawCaption(const RectF& layout, Gdiplus::StringAlignment alignment, Gdiplus::Unit unit);
  // Ends the drawing and copies (0, 0, W, H) of the buffer to the control's device context.
  void copyTo(HDC dc);

 private:
  HWND button_;
  BackBuffer buffer_;
  Graphics graphics_;
};

// The disabled body of all three kinds: a silver client area inside a faint rounded outline.
void drawDisabledBody(Graphics& graphics, const RECT& client, const GraphicsPath& outline);

// The rounded rectangle every button body is built on: (L, T, W - 1, H - 1), corner 5.
GraphicsPath buttonOutlinePath(const RECT& client);

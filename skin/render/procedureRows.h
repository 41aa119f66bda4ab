#pragma once
// Message rows that several control procedures answer alike.
#include <windows.h>

#include "gdi/deviceContext.h"
#include "skin/core/subclass.h"

// WM_ERASEBKGND of a control whose background the skin paints: nothing is erased, and the device
// context is left to draw text without a background of its own.
LRESULT eraseTransparently(WPARAM wParam);

// WM_PAINT of a control the skin paints: paint(const PaintDc&) runs between BeginPaint and
// EndPaint, so the update region is validated, and the default procedure has the message after.
template <typename Paint>
LRESULT paintThenDefault(HWND window, WPARAM wParam, LPARAM lParam, Paint paint) {
  {
    PaintDc validated(window);
    paint(validated);
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

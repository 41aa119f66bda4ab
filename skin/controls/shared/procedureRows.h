#pragma once
// Message rows that several control procedures answer alike, and the owner-draw dispatch of the
// skinned windows and containers.
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

// WS_VSCROLL or WS_HSCROLL in the style: the WM_NCPAINT rows of edit boxes and list-like
// controls then leave the scroll bars to the system.
bool hasScrollBar(HWND control);

// Invalidates (with erasing) every visible child window, so that they paint over what their
// parent has just put behind them.
void invalidateVisibleChildren(HWND window);

// WM_DRAWITEM of a skinned window or container: the routine that paints owner-drawn controls.
// Only push buttons are owner-drawn, and the containers that forward their children's message
// cannot name that family: the pass order enters its routine before it registers any control.
using DrawItemRoutine = void (*)(int recordIndex, const DRAWITEMSTRUCT& item);
void enterDrawItemRoutine(DrawItemRoutine routine);
// Runs the entered routine; nothing before one is entered.
void drawItem(int recordIndex, const DRAWITEMSTRUCT& item);

// Composing a transparent control's own painting over the skin background, off screen (mode A)
// or from the screen (mode B).
#include "draw/colour.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/shared/whitenedBuffer.h"
#include "skin/controls/transparent/transparent.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"
#include "skin/core/subclass.h"

namespace {
constexpr const char* kOffScreenClasses[] = {"SysMonthCal32",      "SysTabControl32", "ToolbarWindow32",
                                             "msctls_statusbar32", "Button",          "msctls_trackbar32"};

RECT offsetRect(RECT rect, LONG dx, LONG dy) {
  return RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

}  // namespace

bool composesOffScreen(HWND control) {
  for (const char* name : kOffScreenClasses)
    if (hasClass(control, name)) return true;
  return false;
}

LRESULT composeOffScreen(HWND control, WNDPROC saved, COLORREF key) {
  RECT client;
  dll::GetClientRect(control, &client);
  int w = client.right;
  int h = client.bottom;
  BackBuffer painted(control, clientRectInWindow(control));
  PaintDc paint(control);
  LRESULT result = callSavedProcedure(saved, control, WM_PAINT, reinterpret_cast<WPARAM>(painted.dc()), 0);
  WhitenedBuffer whitened(control);
  if (painted.dc() && whitened.dc()) {
    dll::TransparentBlt(whitened.dc(), 0, 0, w, h, painted.dc(), 0, 0, w, h, key);
    dll::BitBlt(paint.get(), 0, 0, w, h, whitened.dc(), 0, 0, SRCCOPY);
  }
  return result;
}

// The control is given no device context of its own: controls that honour WM_PAINT's wParam
// (the system's static control among them) would paint into it, leave the screen as it was and
// never validate their update region.
LRESULT composeOnScreen(HWND control, WNDPROC saved, COLORREF key) {
  WindowDc screen(control);
  RECT update{};
  dll::GetUpdateRect(control, &update, FALSE);
  int w = update.right - update.left;
  int h = update.bottom - update.top;
  RECT client = clientRectInWindow(control);
  LRESULT result;
  if (w < 1 || h < 1) return callSavedProcedure(saved, control, WM_PAINT, 0, 0);
  {
    BackBuffer background(control, offsetRect(update, client.left, client.top));
    result = callSavedProcedure(saved, control, WM_PAINT, 0, 0);
    if (background.dc()) {
      dll::TransparentBlt(background.dc(), 0, 0, w, h, screen.get(), update.left, update.top, w, h, key);
      dll::BitBlt(screen.get(), update.left, update.top, w, h, background.dc(), 0, 0, SRCCOPY);
    }
  }
  invalidateVisibleChildren(control);
  return result;
}

// Translucent painting of tree views, list views and plain list boxes over the whitened skin.
#include "draw/colour.h"
#include "gdi/deviceContext.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/shared/whitenedBuffer.h"
#include "skin/core/backBuffers.h"
#include "skin/core/subclass.h"

namespace {
SIZE clientSize(HWND window) {
  RECT client;
  dll::GetClientRect(window, &client);
  return SIZE{client.right, client.bottom};
}

}  // namespace

// The tree paints into a buffer of its own device context, which validates nothing: the paint
// device context is taken (and given back) around the composition for that.
void composeTreeView(HWND treeView, WNDPROC saved) {
  PaintDc validated(treeView);
  SIZE size = clientSize(treeView);
  BackBuffer painted(treeView, clientRectInWindow(treeView));
  callSavedProcedure(saved, treeView, WM_PAINT, reinterpret_cast<WPARAM>(painted.dc()), 0);
  WhitenedBuffer whitened(treeView);
  if (!painted.dc() || !whitened.dc()) return;
  dll::TransparentBlt(whitened.dc(), 0, 0, size.cx, size.cy, painted.dc(), 0, 0, size.cx, size.cy, kMagenta);
  WindowDc target(treeView);
  excludeOpaqueChildren(treeView, target.get());
  dll::BitBlt(target.get(), 0, 0, size.cx, size.cy, whitened.dc(), 0, 0, SRCCOPY);
}

void paintThroughWhitenedBuffer(HWND control, WNDPROC saved) {
  {
    SIZE size = clientSize(control);
    WhitenedBuffer buffer(control);
    PaintDc paint(control);
    callSavedProcedure(saved, control, WM_PAINT, reinterpret_cast<WPARAM>(buffer.dc()), 0);
    if (buffer.dc()) dll::BitBlt(paint.get(), 0, 0, size.cx, size.cy, buffer.dc(), 0, 0, SRCCOPY);
  }
  invalidateVisibleChildren(control);
}

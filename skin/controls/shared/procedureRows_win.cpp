#include "skin/controls/shared/procedureRows.h"

#include "win32/declared.h"

namespace {
DrawItemRoutine drawItemRoutine = nullptr;
}  // namespace

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}

void invalidateVisibleChildren(HWND window) {
  for (HWND child = dll::GetWindow(window, GW_CHILD); child; child = dll::GetWindow(child, GW_HWNDNEXT))
    if (dll::IsWindowVisible(child)) dll::InvalidateRect(child, nullptr, TRUE);
}

bool hasScrollBar(HWND control) {
  return (dll::GetWindowLongA(control, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL)) != 0;
}

void enterDrawItemRoutine(DrawItemRoutine routine) {
  drawItemRoutine = routine;
}

void drawItem(int recordIndex, const DRAWITEMSTRUCT& item) {
  if (drawItemRoutine) drawItemRoutine(recordIndex, item);
}

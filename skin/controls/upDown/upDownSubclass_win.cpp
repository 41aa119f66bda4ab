// Up-down controls: registration under a parent and the window procedure.
#include <windowsx.h>

#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/upDown/upDown.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
constexpr char kUpDownClass[] = "msctls_updown32";

void registerUpDown(int recordIndex, WindowRecord& record, HWND upDown) {
  UpDownRecord* entry = enterControl(recordIndex, record.controls->upDowns, upDown, upDownProcedure);
  if (!entry) return;
  auto style = static_cast<DWORD>(dll::GetWindowLongA(upDown, GWL_STYLE));
  entry->horizontal = (style & UDS_HORZ) ? 1 : 0;
}

using UpDown = RegisteredControl<UpDownRecord>;

void repaint(const UpDown& control, std::optional<bool> hot = {}) {
  paintUpDown(control.recordIndex, control.index, hot);
}

LRESULT paintOnPaintMessage(HWND window, const UpDown& control, WPARAM wParam, LPARAM lParam) {
  return paintThenDefault(window, wParam, lParam, [&](const PaintDc&) { repaint(control, false); });
}

// Repainted when the control becomes the window's hot control, or when the mouse crosses into
// the other half.
void takeHover(HWND window, const UpDown& control, LPARAM lParam) {
  int half = upDownHitTest(control.recordIndex, control.index, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  bool halfChanged = half != control.record->halfUnderMouse;
  control.record->halfUnderMouse = half;
  auto paintHot = [&] { repaint(control, true); };
  if (!enterHover(window, control, kHotUpDowns, paintHot) && halfChanged) paintHot();
}

void press(const UpDown& control, int pressed) {
  control.record->pressed = pressed;
  repaint(control);
}

void dropHover(const UpDown& control) {
  leaveHover(control, [&] { repaint(control, false); });
}
}  // namespace

void registerUpDownControls(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, kUpDownClass, [&](HWND upDown) { registerUpDown(recordIndex, *record, upDown); });
}

LRESULT CALLBACK upDownProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  UpDown control = registeredControlOf(window, &ControlLists::upDowns);
  if (!control.record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      repaint(control);
      break;
    case WM_PAINT:
      return paintOnPaintMessage(window, control, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseTransparently(wParam);
    case WM_NCPAINT:
      return 1;
    case WM_MOUSEMOVE:
      takeHover(window, control, lParam);
      break;
    case WM_LBUTTONDOWN:
      press(control, 1);
      break;
    case WM_LBUTTONUP:
      press(control, 0);
      break;
    case WM_MOUSELEAVE:
      dropHover(control);
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

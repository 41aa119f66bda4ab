// Up-down controls: registration under a parent and the window procedure.
#include <windowsx.h>

#include "gfx/declared.h"
#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/controlLookup.h"
#include "skin/render/drawing.h"
#include "skin/render/hover.h"
#include "skin/render/registration.h"
#include "skin/render/upDown.h"
#include "skin/subclass.h"

namespace {
constexpr char kUpDownClass[] = "msctls_updown32";

void registerUpDown(int recordIndex, WindowRecord& record, HWND upDown) {
  // A second subclass would make the procedure its own saved procedure.
  if (findControlRecord(record.upDowns, upDown)) return;
  int slot = takeRecordSlot(record.upDowns);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(upDown, GWL_STYLE));
  UpDownRecord& entry = record.upDowns[slot];
  entry.window = upDown;
  entry.horizontal = (style & UDS_HORZ) ? 1 : 0;
  entry.savedProcedure = subclassWindow(upDown, upDownProcedure);
  setPropertyTo(upDown, prop::kSavedProcedure, entry.savedProcedure);
  setPropertyTo(upDown, prop::kListIndex, slot);
  setPropertyTo(upDown, prop::kOwnerIndex, recordIndex);
}

struct UpDown {
  int recordIndex = 0;
  int index = 0;
  WindowRecord* owner = nullptr;
  UpDownRecord* record = nullptr;
};

UpDown upDownOf(HWND window) {
  UpDown found;
  found.owner = ownerRecordOf(window);
  if (!found.owner) return found;
  found.recordIndex = ownerIndexOf(window);
  found.index = listIndexOf(window);
  found.record = controlRecordOf(found.owner->upDowns, window);
  return found;
}

void repaint(const UpDown& control, std::optional<bool> hot = {}) {
  paintUpDown(control.recordIndex, control.index, hot);
}

LRESULT paintOnPaintMessage(HWND window, const UpDown& control, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(window);
    repaint(control, false);
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}

// Repainted when the control becomes the window's hot control, or when the mouse crosses into
// the other half.
void takeHover(HWND window, const UpDown& control, LPARAM lParam) {
  trackMouseLeave(window);
  WindowRecord& owner = *control.owner;
  owner.controlUnderMouse = control.index;
  int half = upDownHitTest(control.recordIndex, control.index, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  bool halfChanged = half != control.record->halfUnderMouse;
  control.record->halfUnderMouse = half;
  if (!isHotControl(owner, control.index, kHotUpDowns)) {
    control.record->hot = 1;
    repaint(control, true);
    makeHotControl(owner, control.index, kHotUpDowns);
  } else if (halfChanged) {
    repaint(control, true);
  }
}

void press(const UpDown& control, int pressed) {
  control.record->pressed = pressed;
  repaint(control);
}

void dropHover(const UpDown& control) {
  control.record->hot = 0;
  clearHotControl(*control.owner);
  repaint(control, false);
}
}  // namespace

void registerUpDownControls(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !parent || !skinEngine().settings().skinEnabled) return;
  for (HWND child = dll::FindWindowExA(parent, nullptr, kUpDownClass, nullptr); child;
       child = dll::FindWindowExA(parent, child, kUpDownClass, nullptr))
    registerUpDown(recordIndex, *record, child);
}

LRESULT CALLBACK upDownProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  UpDown control = upDownOf(window);
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

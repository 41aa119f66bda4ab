// Entering a transparent control, and its window procedure: it composes the control's own
// painting over the skin.
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/transparent/transparent.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

void enterTransparentControl(int recordIndex, WindowRecord& record, HWND control, COLORREF keyColour) {
  Array<TransparentRecord>& transparents = record.controls->transparents;
  int slot = takeRecordSlot(transparents);
  TransparentRecord& entry = transparents[slot];
  entry.window = control;
  entry.keyColour = keyColour;
  entry.savedProcedure = subclassWindow(control, transparentProcedure);
  setPropertyTo(control, prop::kTransparentProcedure, entry.savedProcedure);
  setPropertyTo(control, prop::kTransparentIndex, slot);
  setPropertyTo(control, prop::kTransparentOwner, recordIndex);
}

namespace {
// The control's saved procedure and key colour; null record when it is not registered.
struct Transparent {
  WNDPROC saved = nullptr;
  const TransparentRecord* record = nullptr;
};

Transparent transparentOf(HWND window) {
  Transparent found;
  found.saved = getPropertyAs<WNDPROC>(window, prop::kTransparentProcedure);
  if (!skinEngineExists()) return found;
  WindowRecord* owner = skinEngine().recordAt(getPropertyAs<int>(window, prop::kTransparentOwner));
  int index = getPropertyAs<int>(window, prop::kTransparentIndex);
  if (owner && index >= 1 && index <= owner->controls->transparents.count())
    found.record = &owner->controls->transparents[index];
  return found;
}

bool translucencyGiven() {
  return skinEngine().settings().translucencyGiven;
}
bool skinEnabled() {
  return skinEngine().settings().skinEnabled;
}

LRESULT compose(HWND window, const Transparent& control) {
  COLORREF key = control.record->keyColour;
  if (composesOffScreen(window)) return composeOffScreen(window, control.saved, key);
  return composeOnScreen(window, control.saved, key);
}
}  // namespace

LRESULT CALLBACK transparentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Transparent control = transparentOf(window);
  if (!control.record) return callSavedProcedure(control.saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      if (translucencyGiven()) dll::InvalidateRect(window, nullptr, FALSE);
      break;
    case WM_PAINT:
      if (skinEnabled()) return compose(window, control);
      break;
    case WM_ERASEBKGND:
      if (translucencyGiven()) return eraseTransparently(wParam);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (hasClass(window, "RichEdit20A")) dll::InvalidateRect(window, nullptr, FALSE);
      break;
  }
  return callSavedProcedure(control.saved, window, message, wParam, lParam);
}

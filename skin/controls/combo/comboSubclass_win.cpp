// The combo boxes' registration pass and the window procedure it installs.
#include "gdi/deviceContext.h"
#include "skin/controls/combo/combo.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/core/engine.h"
#include "skin/core/subclass.h"

namespace {
// A drop-down list shows its selection from the first paint: the selected item's text is made
// the window text once.
void pushSelectedText(HWND combo) {
  LRESULT selected = dll::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  LRESULT length = dll::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
  if (length < 0) return;
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  dll::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
  dll::SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
}  // namespace

void registerComboBoxes(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, "ComboBox", [&](HWND combo) {
    if (findControlRecord(record->controls->combos, combo)) return;
    // Before the subclass: the text goes to the system's procedure.
    pushSelectedText(combo);
    enterControl(recordIndex, record->controls->combos, combo, comboProcedure);
  });
}

namespace {
LRESULT passOn(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
  return callSavedProcedure(savedProcedureOf(combo), combo, message, wParam, lParam);
}

HWND editFieldOf(HWND combo) {
  return dll::FindWindowExA(combo, nullptr, "Edit", nullptr);
}

void setFocusFlag(HWND combo, int hasFocus) {
  if (ComboRecord* record = comboRecordOf(combo)) record->hasFocus = hasFocus;
}

void gainFocus(HWND combo) {
  setFocusFlag(combo, 1);
  paintComboBox(combo, false, true);
}

void invalidateWithEditField(HWND combo) {
  if (editFieldOf(combo)) dll::InvalidateRect(combo, nullptr, TRUE);
}

LRESULT paintWindow(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(combo);
    paintComboBox(combo, false);
  }
  return defaultProcedure(combo, message, wParam, lParam);
}

LRESULT paintNonClient(HWND combo, UINT message, LPARAM lParam) {
  paintComboBox(combo, false);
  return defaultProcedure(combo, message, static_cast<WPARAM>(-1), lParam);
}

bool translucencyGiven() {
  return skinEngineExists() && skinEngine().settings().translucencyGiven;
}

// The edit field's text changes scroll or move its picture background: it is redrawn whole.
void invalidateChangedField(HWND combo, WPARAM wParam, LPARAM lParam) {
  if (!skinEngineExists() || !skinEngine().settings().skinEnabled || !translucencyGiven()) return;
  auto source = reinterpret_cast<HWND>(lParam);
  if (!source || source != editFieldOf(combo)) return;
  switch (HIWORD(wParam)) {
    case EN_VSCROLL:
    case EN_HSCROLL:
    case EN_CHANGE:
    case EN_UPDATE:
      dll::InvalidateRect(source, nullptr, TRUE);
      break;
  }
}

void hoverCombo(HWND combo) {
  trackMouseLeave(combo);
  WindowRecord* owner = ownerRecordOf(combo);
  if (!owner) return;
  owner->controlUnderMouse = listIndexOf(combo);
  int index = owner->controlUnderMouse;
  if ((index >= 1 && index != owner->hotControlIndex) || owner->hotListKind != kHotComboBoxes)
    paintComboBox(combo, true);
  makeHotControl(*owner, owner->controlUnderMouse, kHotComboBoxes);
}

void leaveCombo(HWND combo) {
  paintComboBox(combo, false);
  if (WindowRecord* owner = ownerRecordOf(combo)) clearHotControl(*owner);
}
}  // namespace

LRESULT CALLBACK comboProcedure(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
  // A window that lost its place in the list is left to its own procedure.
  if (listIndexOf(combo) < 1) return passOn(combo, message, wParam, lParam);
  switch (message) {
    case WM_MOVE:
      paintComboBox(combo, false);
      break;
    case WM_SETFOCUS:
      gainFocus(combo);
      break;
    case WM_KILLFOCUS:
      setFocusFlag(combo, 0);  // no repaint until the next paint or mouse event
      break;
    case WM_SETTEXT:
      invalidateWithEditField(combo);
      break;
    case WM_PAINT:
      return paintWindow(combo, message, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseTransparently(wParam);
    case WM_NCPAINT:
      return paintNonClient(combo, message, lParam);
    case WM_COMMAND:
      invalidateChangedField(combo, wParam, lParam);
      break;
    case WM_CTLCOLOREDIT:
      if (translucencyGiven())
        return answerWithBackgroundBrush(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
      break;
    case WM_MOUSEMOVE:
      hoverCombo(combo);
      break;
    case WM_MOUSELEAVE:
      leaveCombo(combo);
      break;
  }
  return passOn(combo, message, wParam, lParam);
}

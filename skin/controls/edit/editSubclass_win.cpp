// The edit boxes' registration pass and the window procedure it installs.
#include "draw/colour.h"
#include "gdi/gdiHandle.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/shared/whitenedBuffer.h"
#include "skin/core/engine.h"
#include "skin/core/subclass.h"

void registerEditField(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record) return;
  if (enterControl(recordIndex, record->controls->edits, edit, editProcedure))
    setPropertyTo(edit, prop::kTextColour, kBlack);
}

int findEditRecord(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngineExists() ? skinEngine().recordAt(recordIndex) : nullptr;
  return record ? findControlRecord(record->controls->edits, edit) : 0;
}

void registerEditBoxes(int recordIndex, HWND parent) {
  if (!recordForPass(recordIndex, parent)) return;
  forEachChildOfClass(parent, "Edit", [&](HWND edit) { registerEditField(recordIndex, edit); });
}

void registerComboEditFields(int recordIndex, HWND parent) {
  if (!recordForPass(recordIndex, parent)) return;
  // A field is registered whether its combo box was new to the combo pass or not; one already
  // in the list is skipped.
  forEachChildOfClass(parent, "ComboBox", [&](HWND combo) {
    if (HWND field = dll::FindWindowExA(combo, nullptr, "Edit", nullptr)) registerEditField(recordIndex, field);
  });
}

namespace {
LRESULT passOn(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  return callSavedProcedure(savedProcedureOf(edit), edit, message, wParam, lParam);
}

bool translucencyGiven() {
  return skinEngineExists() && skinEngine().settings().translucencyGiven;
}

// The background is a picture the system cannot scroll or move, so the whole box is redrawn.
void invalidateWhenTranslucent(HWND edit) {
  if (translucencyGiven()) dll::InvalidateRect(edit, nullptr, TRUE);
}

bool recordedFocus(HWND edit) {
  EditRecord* record = editRecordOf(edit);
  return record && record->hasFocus;
}

void deleteBackgroundObjects(HWND edit) {
  deleteGdiObject(getPropertyAs<HGDIOBJ>(edit, prop::kColourBrush));
  deleteGdiObject(getPropertyAs<HGDIOBJ>(edit, prop::kBrushBitmap));
  // The window record's teardown deletes them too, should it still find the box.
  setProperty(edit, prop::kColourBrush, 0);
  setProperty(edit, prop::kBrushBitmap, 0);
}

void setFocusFlag(HWND edit, int hasFocus) {
  if (EditRecord* record = editRecordOf(edit)) record->hasFocus = hasFocus;
}

void loseFocus(HWND edit) {
  setFocusFlag(edit, 0);
  if (hasClass(dll::GetParent(edit), "ComboBox"))
    drawEditFrame(edit, false, false);
  else
    dll::InvalidateRect(edit, nullptr, TRUE);
}

LRESULT eraseWithSkin(HWND edit, HDC dc) {
  dll::SetBkMode(dc, TRANSPARENT);
  paintEditBackground(edit, dc);
  return 1;
}

// The region of the scroll bars that are shown, in screen coordinates as WM_NCPAINT takes it.
OwnedRegion scrollBarRegion(HWND edit) {
  OwnedRegion region(dll::CreateRectRgn(0, 0, 0, 0));
  for (LONG bar : {OBJID_HSCROLL, OBJID_VSCROLL}) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!dll::GetScrollBarInfo(edit, bar, &info) || (info.rgstate[0] & STATE_SYSTEM_INVISIBLE)) continue;
    OwnedRegion barRegion(dll::CreateRectRgnIndirect(&info.rcScrollBar));
    dll::CombineRgn(region.get(), region.get(), barRegion.get(), RGN_OR);
  }
  return region;
}

// The skin's frame replaces the border; the system still draws the scroll bars.
LRESULT paintNonClient(HWND edit, UINT message, LPARAM lParam) {
  drawEditFrame(edit, recordedFocus(edit), false);
  if (!hasScrollBar(edit)) return defaultProcedure(edit, message, static_cast<WPARAM>(-1), lParam);
  OwnedRegion bars = scrollBarRegion(edit);
  return defaultProcedure(edit, message, reinterpret_cast<WPARAM>(bars.get()), lParam);
}

void hoverEdit(HWND edit) {
  trackMouseLeave(edit);
  WindowRecord* owner = ownerRecordOf(edit);
  EditRecord* record = editRecordOf(edit);
  if (!owner || !record) return;
  int index = listIndexOf(edit);
  HWND parent = dll::GetParent(edit);
  owner->controlUnderMouse = index;
  if (!(isHotControl(*owner, index, kHotEditBoxes) && owner->hotParent == parent)) {
    drawEditFrame(edit, record->hasFocus, true);
    makeHotControl(*owner, index, kHotEditBoxes);
    owner->hotParent = parent;
  }
  // Selecting text by dragging redraws the translucent background under the selection.
  if (record->buttonDown && !hasScrollBar(edit)) dll::InvalidateRect(edit, nullptr, TRUE);
}

void pressInEdit(HWND edit) {
  if (EditRecord* record = editRecordOf(edit)) record->buttonDown = 1;
  if (!hasScrollBar(edit)) invalidateWhenTranslucent(edit);
}

void releaseInEdit(HWND edit) {
  if (EditRecord* record = editRecordOf(edit)) record->buttonDown = 0;
}

void leaveEdit(HWND edit) {
  if (WindowRecord* owner = ownerRecordOf(edit)) clearHotControl(*owner);
  drawEditFrame(edit, recordedFocus(edit), false);
}
}  // namespace

LRESULT CALLBACK editProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  // A window that lost its place in the list is left to its own procedure.
  if (listIndexOf(edit) < 1) return passOn(edit, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      deleteBackgroundObjects(edit);
      break;
    case WM_MOVE:
      invalidateWhenTranslucent(edit);
      break;
    case WM_SETFOCUS:
      setFocusFlag(edit, 1);
      break;
    case WM_KILLFOCUS:
      loseFocus(edit);
      break;
    case WM_PAINT:
      drawEditFrame(edit, recordedFocus(edit), false);
      break;
    case WM_ERASEBKGND:
      if (translucencyGiven()) return eraseWithSkin(edit, reinterpret_cast<HDC>(wParam));
      break;
    case WM_NCPAINT:
      return paintNonClient(edit, message, lParam);
    case WM_KEYDOWN:
      if (!hasScrollBar(edit)) invalidateWhenTranslucent(edit);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      invalidateWhenTranslucent(edit);
      break;
    case WM_MOUSEMOVE:
      hoverEdit(edit);
      break;
    case WM_LBUTTONDOWN:
      pressInEdit(edit);
      break;
    case WM_LBUTTONUP:
      releaseInEdit(edit);
      break;
    case WM_MOUSELEAVE:
      leaveEdit(edit);
      break;
  }
  return passOn(edit, message, wParam, lParam);
}

#pragma once
// The hover state the renderer families share in the window record: at most one control of a
// window is hot. The index alone is not enough, because every family numbers its own list from
// 1: the hot-list kind says which list the index belongs to.
#include <windows.h>

#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/windowRecord.h"

// Asks for a WM_MOUSELEAVE when the mouse leaves the control.
void trackMouseLeave(HWND control);

bool isHotControl(const WindowRecord& record, int index, HotListKind kind);
void makeHotControl(WindowRecord& record, int index, HotListKind kind);
void clearHotControl(WindowRecord& record);

// WM_MOUSEMOVE of a control with a hover look: asks for the leave notification and notes the
// control under the mouse. Only when the control is not yet the window's hot control does it
// become hot: its record's flag is set, paintHot() draws it hot, and it is entered as the hot
// control. Returns whether it became hot (a move within a hot control draws nothing here).
template <typename Record, typename PaintHot>
bool enterHover(HWND window, const RegisteredControl<Record>& control, HotListKind kind, PaintHot paintHot) {
  trackMouseLeave(window);
  WindowRecord& owner = *control.owner;
  owner.controlUnderMouse = control.index;
  if (isHotControl(owner, control.index, kind)) return false;
  control.record->hot = 1;
  paintHot();
  makeHotControl(owner, control.index, kind);
  return true;
}

// WM_MOUSELEAVE: the window has no hot control any more and paintPlain() draws this one plain.
template <typename Record, typename PaintPlain>
void leaveHover(const RegisteredControl<Record>& control, PaintPlain paintPlain) {
  control.record->hot = 0;
  clearHotControl(*control.owner);
  paintPlain();
}

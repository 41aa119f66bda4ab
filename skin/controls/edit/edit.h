#pragma once
// Edit boxes, including the edit field inside a drop-down combo box: the system keeps drawing
// the text, the skin draws a thin frame over the border and, when a translucency was given,
// the whitened skin background behind the text.
#include <windows.h>

#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"

// The procedure every registered edit box is subclassed with.
LRESULT CALLBACK editProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// The registration passes, each given (window record index, parent window) and doing nothing
// while the skin-enabled flag is clear or without a parent: the edit boxes among the parent's
// children, and the edit fields inside its combo boxes (run after the combo-box pass).
void registerEditBoxes(int recordIndex, HWND parent);
void registerComboEditFields(int recordIndex, HWND parent);

// Enters the edit box in the window record's edit list and subclasses it; one already there is
// left alone.
void registerEditField(int recordIndex, HWND edit);

// The 1-based index of the box in the record's edit list, 0 when it is not there.
int findEditRecord(int recordIndex, HWND edit);

// Paints the ring between the window rectangle and the client area with its scroll bars.
void drawEditFrame(HWND edit, bool focused, bool hot);

// The client area with the scroll bars, in the box's window coordinates (equal borders).
RECT editInnerRectangle(HWND edit);

inline EditRecord* editRecordOf(HWND edit) {
  WindowRecord* owner = ownerRecordOf(edit);
  return owner ? controlRecordOf(owner->controls->edits, edit) : nullptr;
}

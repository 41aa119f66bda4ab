#pragma once
// Edit boxes, including the edit field inside a drop-down combo box: the system keeps drawing
// the text, the skin draws a thin frame over the border and, when a translucency was given,
// the whitened skin background behind the text.
#include <windows.h>

#include "skin/render/controlLookup.h"

// The procedure every registered edit box is subclassed with.
LRESULT CALLBACK editProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// Enters the edit box in the window record's edit list and subclasses it; one already there is
// left alone.
void registerEditField(int recordIndex, HWND edit);

// The 1-based index of the box in the record's edit list, 0 when it is not there.
int findEditRecord(int recordIndex, HWND edit);

// Paints the ring between the window rectangle and the client area with its scroll bars.
void drawEditFrame(HWND edit, bool focused, bool hot);

// The whitened skin background behind the client area, into the box's device context.
void paintEditBackground(HWND edit, HDC dc);

// The client area with the scroll bars, in the box's window coordinates (equal borders).
RECT editInnerRectangle(HWND edit);

// WS_VSCROLL or WS_HSCROLL in the style.
bool hasScrollBar(HWND edit);

inline EditRecord* editRecordOf(HWND edit) {
  WindowRecord* owner = ownerRecordOf(edit);
  return owner ? controlRecordOf(owner->edits, edit) : nullptr;
}

#pragma once
// What the control families' registration passes share: the window record a pass fills, the walk
// over a parent's children of one class, and the subclass together with the properties through
// which the family's procedure finds the control again (see controlLookup.h).
#include <windows.h>

#include "skin/controls/shared/controlRecords.h"
#include "skin/core/windowRecord.h"
#include "win32/declared.h"

// The window record a pass registers into; null, and the pass does nothing, without the record,
// without a parent or while the skin-enabled flag is clear.
WindowRecord* recordForPass(int recordIndex, HWND parent);

// visit(child) for every direct child of parent with that window class, in z-order.
template <typename Visit>
void forEachChildOfClass(HWND parent, const char* className, Visit visit) {
  for (HWND child = dll::FindWindowExA(parent, nullptr, className, nullptr); child;
       child = dll::FindWindowExA(parent, child, className, nullptr))
    visit(child);
}

// Subclasses the control with its family's procedure and tags it with what that procedure reads:
// the replaced procedure (Hw_hProc), the control's slot in the family's list (Hw_lbID) and its
// window record (Hw_FuID). Returns the replaced procedure.
WNDPROC subclassRegisteredControl(HWND control, WNDPROC procedure, int slot, int recordIndex);

// Enters the control in its family's list (the single empty record, or a new one) with its window
// and saved procedure, and subclasses it. Returns the record for the family's own fields; null for
// no control or one the list already has: a second subclass would make the procedure its own
// saved procedure.
template <typename Record>
Record* enterControl(int recordIndex, Array<Record>& list, HWND control, WNDPROC procedure) {
  if (!control || findControlRecord(list, control)) return nullptr;
  int slot = takeRecordSlot(list);
  Record& entry = list[slot];
  entry.window = control;
  entry.savedProcedure = subclassRegisteredControl(control, procedure, slot, recordIndex);
  return &entry;
}

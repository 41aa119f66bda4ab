#pragma once
// Finding a registered control's records from its window handle: the owning window record
// through Hw_FuID, the control record through Hw_lbID.
#include <windows.h>

#include "skin/controls/shared/controlRecords.h"
#include "skin/core/properties.h"
#include "skin/core/windowRecord.h"

// The window record that owns the registered control; null when the engine or the record is
// gone (a message that arrives during teardown).
WindowRecord* ownerRecordOf(HWND control);

// The control's record in the family's list; null when the control is not registered (Hw_lbID
// below 1). An index beyond the list is the array's runtime error, as for any stale index.
template <typename Record>
Record* controlRecordOf(Array<Record>& list, HWND control) {
  int index = listIndexOf(control);
  if (index < 1) return nullptr;
  return &list[index];
}

// A registered control as its family's procedure sees it: the owning window record (its index and
// the record), the control's slot in the family's list and its record there. The record is null
// when the control is not registered or its window record is gone.
template <typename Record>
struct RegisteredControl {
  int recordIndex = 0;
  int index = 0;
  WindowRecord* owner = nullptr;
  Record* record = nullptr;
};

// The control looked up in its family's list, given as the member of ControlLists that holds it.
template <typename Record>
RegisteredControl<Record> registeredControlOf(HWND control, Array<Record> ControlLists::*family) {
  RegisteredControl<Record> found;
  found.owner = ownerRecordOf(control);
  if (!found.owner) return found;
  found.recordIndex = ownerIndexOf(control);
  found.index = listIndexOf(control);
  found.record = controlRecordOf((*found.owner->controls).*family, control);
  return found;
}

#pragma once
// Finding a registered control's records from its window handle: the owning window record
// through Hw_FuID, the control record through Hw_lbID.
#include <windows.h>

#include "skin/properties.h"
#include "skin/windowRecord.h"

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

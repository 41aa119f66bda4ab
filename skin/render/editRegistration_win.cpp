#include "skin/engine.h"
#include "skin/render/drawing.h"
#include "skin/render/edit.h"
#include "skin/render/registration.h"
#include "skin/subclass.h"

void registerEditField(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record) return;
  int slot = takeRecordSlot(record->edits);
  record->edits[slot].window = edit;
  WNDPROC saved = subclassWindow(edit, editProcedure);
  record->edits[slot].savedProcedure = saved;
  setPropertyTo(edit, prop::kListIndex, slot);
  setPropertyTo(edit, prop::kOwnerIndex, recordIndex);
  setPropertyTo(edit, prop::kTextColour, kBlack);
  setPropertyTo(edit, prop::kSavedProcedure, saved);
}

int findEditRecord(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngineExists() ? skinEngine().recordAt(recordIndex) : nullptr;
  return record ? findControlRecord(record->edits, edit) : 0;
}

void registerEditBoxes(int recordIndex, HWND parent) {
  if (!skinEngineExists() || !skinEngine().settings().skinEnabled || !skinEngine().recordAt(recordIndex)) return;
  for (HWND edit = dll::FindWindowExA(parent, nullptr, "Edit", nullptr); edit;
       edit = dll::FindWindowExA(parent, edit, "Edit", nullptr)) {
    if (findEditRecord(recordIndex, edit)) continue;
    registerEditField(recordIndex, edit);
  }
  // The combo-box pass registers the edit fields inside drop-down combo boxes as well.
  registerComboBoxes(recordIndex, parent);
}

#include "draw/colour.h"
#include "skin/core/engine.h"
#include "skin/render/controlRegistration.h"
#include "skin/render/edit.h"
#include "skin/render/registration.h"

void registerEditField(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record) return;
  if (enterControl(recordIndex, record->edits, edit, editProcedure)) setPropertyTo(edit, prop::kTextColour, kBlack);
}

int findEditRecord(int recordIndex, HWND edit) {
  WindowRecord* record = skinEngineExists() ? skinEngine().recordAt(recordIndex) : nullptr;
  return record ? findControlRecord(record->edits, edit) : 0;
}

void registerEditBoxes(int recordIndex, HWND parent) {
  if (!recordForPass(recordIndex, parent)) return;
  forEachChildOfClass(parent, "Edit", [&](HWND edit) { registerEditField(recordIndex, edit); });
  // The combo-box pass registers the edit fields inside drop-down combo boxes as well.
  registerComboBoxes(recordIndex, parent);
}

#include "skin/render/controlRegistration.h"

#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/subclass.h"

WindowRecord* recordForPass(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !parent || !skinEngine().settings().skinEnabled) return nullptr;
  return record;
}

WNDPROC subclassRegisteredControl(HWND control, WNDPROC procedure, int slot, int recordIndex) {
  WNDPROC saved = subclassWindow(control, procedure);
  setPropertyTo(control, prop::kSavedProcedure, saved);
  setPropertyTo(control, prop::kListIndex, slot);
  setPropertyTo(control, prop::kOwnerIndex, recordIndex);
  return saved;
}

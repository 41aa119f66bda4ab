#include "skin/controls/shared/controlRegistration.h"

#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"

WindowRecord* recordForPass(int recordIndex, HWND parent) {
  // Without a parent, FindWindowExA would walk the top-level windows.
  if (!parent || !skinEngineExists() || !skinEngine().settings().skinEnabled) return nullptr;
  return skinEngine().recordAt(recordIndex);
}

WNDPROC subclassRegisteredControl(HWND control, WNDPROC procedure, int slot, int recordIndex) {
  WNDPROC saved = subclassWindow(control, procedure);
  setPropertyTo(control, prop::kSavedProcedure, saved);
  setPropertyTo(control, prop::kListIndex, slot);
  setPropertyTo(control, prop::kOwnerIndex, recordIndex);
  return saved;
}

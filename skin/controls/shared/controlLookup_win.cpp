#include "skin/controls/shared/controlLookup.h"

#include "skin/core/engine.h"

WindowRecord* ownerRecordOf(HWND control) {
  if (!skinEngineExists()) return nullptr;
  return skinEngine().recordAt(ownerIndexOf(control));
}

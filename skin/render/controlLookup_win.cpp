#include "skin/render/controlLookup.h"

#include "skin/engine.h"

WindowRecord* ownerRecordOf(HWND control) {
  if (!skinEngineExists()) return nullptr;
  return skinEngine().recordAt(ownerIndexOf(control));
}

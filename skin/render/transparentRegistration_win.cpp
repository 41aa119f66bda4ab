// Registering a transparent control: its record, the subclass, and for a control with children
// the unpainted container that gets those children skinned.
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "skin/render/registration.h"
#include "skin/render/transparent.h"
#include "win32/declared.h"

namespace {
constexpr int kUnpainted = 0;
constexpr int kNoBorder = 0;

bool hasChildWindow(HWND control) {
  return dll::FindWindowExA(control, nullptr, nullptr, nullptr) != nullptr;
}

int registerAsContainerIfParent(HWND control, COLORREF bodyColour, std::optional<int> alpha) {
  if (!hasChildWindow(control)) return 0;
  return registerContainer(control, bodyColour, alpha, kUnpainted, kNoBorder);
}
}  // namespace

int registerTransparentControl(HWND control, std::optional<COLORREF> keyColour, COLORREF bodyColour,
                               std::optional<int> alpha) {
  int recordIndex = findOwningRecord(control);
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !control) return 0;
  // Subclassing a second time would make this procedure its own saved procedure.
  if (findControlRecord(record->transparents, control)) return listIndexOf(control);

  int slot = takeRecordSlot(record->transparents);
  TransparentRecord& entry = record->transparents[slot];
  entry.window = control;
  entry.keyColour = keyColour.value_or(dll::GetSysColor(COLOR_BTNFACE));
  entry.savedProcedure = subclassWindow(control, transparentProcedure);
  setPropertyTo(control, prop::kTransparentProcedure, entry.savedProcedure);
  setPropertyTo(control, prop::kTransparentIndex, slot);
  setPropertyTo(control, prop::kTransparentOwner, recordIndex);
  return registerAsContainerIfParent(control, bodyColour, alpha);
}

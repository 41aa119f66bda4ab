// The pass order, and the container and transparent-control registrations built on it.
#include "skin/controls/controlPasses.h"

#include "skin/controls/button/button.h"
#include "skin/controls/combo/combo.h"
#include "skin/controls/container/container.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/header/header.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/progressBar/progressBar.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/trackBar/trackBar.h"
#include "skin/controls/transparent/transparent.h"
#include "skin/controls/upDown/upDown.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "win32/declared.h"

namespace {
constexpr int kOpaque = 255;
constexpr int kUnpainted = 0;
constexpr int kNoBorder = 0;

bool hasChildWindow(HWND control) {
  return dll::FindWindowExA(control, nullptr, nullptr, nullptr) != nullptr;
}
}  // namespace

void runRegistrationPasses(int recordIndex, HWND parent) {
  enterDrawItemRoutine(drawPushButtonItem);
  if (recordIndex < 1 || !parent) return;
  registerPushButtons(recordIndex, parent);
  registerCheckAndRadioButtons(recordIndex, parent);
  registerEditBoxes(recordIndex, parent);
  registerComboBoxes(recordIndex, parent);
  registerComboEditFields(recordIndex, parent);
  registerTrackBars(recordIndex, parent);
  registerProgressBars(recordIndex, parent);
  registerListLikeControls(recordIndex, parent);
  registerUpDownControls(recordIndex, parent);
  registerHeaders(recordIndex, parent);
}

int registerContainer(HWND container, COLORREF bodyColour, std::optional<int> alpha, std::optional<int> skinned,
                      std::optional<int> border) {
  int recordIndex = findOwningRecord(container);
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !container) return 0;
  if (int existing = findControlRecord(record->controls->containers, container)) return existing;

  int slot =
      enterContainer(*record, container, bodyColour, alpha.value_or(kOpaque), skinned.value_or(1), border.value_or(0));
  runRegistrationPasses(recordIndex, container);
  subclassRegisteredControl(container, containerProcedure, slot, recordIndex);
  return slot;
}

int registerTransparentControl(HWND control, std::optional<COLORREF> keyColour, COLORREF bodyColour,
                               std::optional<int> alpha) {
  int recordIndex = findOwningRecord(control);
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !control) return 0;
  // Subclassing a second time would make this procedure its own saved procedure.
  if (findControlRecord(record->controls->transparents, control)) return listIndexOf(control);

  enterTransparentControl(recordIndex, *record, control, keyColour.value_or(dll::GetSysColor(COLOR_BTNFACE)));
  if (!hasChildWindow(control)) return 0;
  return registerContainer(control, bodyColour, alpha, kUnpainted, kNoBorder);
}

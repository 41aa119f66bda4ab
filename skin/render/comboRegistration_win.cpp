#include "skin/core/engine.h"
#include "skin/render/combo.h"
#include "skin/render/controlRegistration.h"
#include "skin/render/edit.h"
#include "skin/render/registration.h"

namespace {
// A drop-down list shows its selection from the first paint: the selected item's text is made
// the window text once.
void pushSelectedText(HWND combo) {
  LRESULT selected = dll::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  LRESULT length = dll::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
  if (length < 0) return;
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  dll::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
  dll::SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
}  // namespace

void registerComboBoxes(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, "ComboBox", [&](HWND combo) {
    if (!findControlRecord(record->combos, combo)) {
      // Before the subclass: the text goes to the system's procedure.
      pushSelectedText(combo);
      enterControl(recordIndex, record->combos, combo, comboProcedure);
    }
    // Its edit field is registered whether the combo box was new or not; it is skipped when known.
    if (HWND field = dll::FindWindowExA(combo, nullptr, "Edit", nullptr)) registerEditField(recordIndex, field);
  });
}

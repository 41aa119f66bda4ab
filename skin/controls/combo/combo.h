#pragma once
// Combo boxes: the whole window (frame, drop-down button, and a drop-down list's text) is
// painted by the skin into a back buffer and copied with magenta as the colour key, so that the
// combo box's own children (its edit field, a simple combo box's list) stay uncovered and keep
// painting themselves.
#include <windows.h>

#include <optional>

#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"

// The registration pass (window record index, parent window), run after the edit boxes; it
// does nothing while the skin-enabled flag is clear or without a parent.
void registerComboBoxes(int recordIndex, HWND parent);

// The procedure every registered combo box is subclassed with.
LRESULT CALLBACK comboProcedure(HWND combo, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the combo box; focus is the record's when not given.
void paintComboBox(HWND combo, bool hot, std::optional<bool> focused = {});

// The child's window rectangle in its parent's window coordinates.
RECT childRectangle(HWND child);

inline ComboRecord* comboRecordOf(HWND combo) {
  WindowRecord* owner = ownerRecordOf(combo);
  return owner ? controlRecordOf(owner->controls->combos, combo) : nullptr;
}

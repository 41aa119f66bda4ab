#pragma once
// Push buttons, check boxes and auto radio buttons, skinned over the window's background. Push
// buttons are switched to owner-draw and painted on the parent's WM_DRAWITEM; check boxes and
// radio buttons keep their style and paint from their own WM_PAINT.
#include <windows.h>

#include "skin/render/controlLookup.h"

// The state bits the painters read: the owner-draw ODS_ values, and ODS_HOTLIGHT for hover.
inline constexpr UINT kStatePressed = ODS_SELECTED;   // 1
inline constexpr UINT kStateDisabled = ODS_DISABLED;  // 4
inline constexpr UINT kStateFocused = ODS_FOCUS;      // 16
inline constexpr UINT kStateHot = ODS_HOTLIGHT;       // 64

// The procedure every registered button is subclassed with.
LRESULT CALLBACK buttonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

// Redraws a registered button at once, outside WM_PAINT, with the painter of its kind.
void repaintButton(HWND button, UINT state);

// The painters, drawing into the control's device context; client is its client rectangle.
void paintPushButton(HWND button, HDC dc, UINT state, const RECT& client);
void paintCheckBox(HWND button, HDC dc, UINT state, const RECT& client);
void paintRadioButton(HWND button, HDC dc, UINT state, const RECT& client);

// The button's record in its window record's button list; null when it is not registered.
inline ButtonRecord* buttonRecordOf(HWND button) {
  WindowRecord* owner = ownerRecordOf(button);
  return owner ? controlRecordOf(owner->buttons, button) : nullptr;
}

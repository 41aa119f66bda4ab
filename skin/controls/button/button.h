#pragma once
// Push buttons, check boxes and auto radio buttons, skinned over the window's background. Push
// buttons are switched to owner-draw and painted on the parent's WM_DRAWITEM; check boxes and
// radio buttons keep their style and paint from their own WM_PAINT.
#include <windows.h>

#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"

// The state bits the painters read: the owner-draw ODS_ values, and ODS_HOTLIGHT for hover.
inline constexpr UINT kStatePressed = ODS_SELECTED;   // 1
inline constexpr UINT kStateDisabled = ODS_DISABLED;  // 4
inline constexpr UINT kStateFocused = ODS_FOCUS;      // 16
inline constexpr UINT kStateHot = ODS_HOTLIGHT;       // 64

// The registration passes (window record index, parent window): push buttons, then check boxes
// and auto radio buttons. Each does nothing while the skin-enabled flag is clear or without a
// parent.
void registerPushButtons(int recordIndex, HWND parent);
void registerCheckAndRadioButtons(int recordIndex, HWND parent);

// The procedure every registered button is subclassed with.
LRESULT CALLBACK buttonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

// Redraws a registered button at once, outside WM_PAINT, with the painter of its kind.
void repaintButton(HWND button, UINT state);

// WM_DRAWITEM of a skinned window or container: paints an owner-drawn push button.
void drawPushButtonItem(int recordIndex, const DRAWITEMSTRUCT& item);

// The painters, drawing into the control's device context; client is its client rectangle.
void paintPushButton(HWND button, HDC dc, UINT state, const RECT& client);
void paintCheckBox(HWND button, HDC dc, UINT state, const RECT& client);
void paintRadioButton(HWND button, HDC dc, UINT state, const RECT& client);

// The button's record in its window record's button list; null when it is not registered.
inline ButtonRecord* buttonRecordOf(HWND button) {
  WindowRecord* owner = ownerRecordOf(button);
  return owner ? controlRecordOf(owner->controls->buttons, button) : nullptr;
}

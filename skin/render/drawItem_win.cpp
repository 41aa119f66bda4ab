#include "skin/core/engine.h"
#include "skin/render/button.h"
#include "skin/render/registration.h"

// Only push buttons are owner-drawn; check boxes and radio buttons paint themselves.
void drawItem(int recordIndex, const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON) return;
  int index = listIndexOf(item.hwndItem);
  if (index < 1 || !skinEngineExists()) return;
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || record->buttons[index].kind != kPushButton) return;
  paintPushButton(item.hwndItem, item.hDC, item.itemState, item.rcItem);
}

#include "skin/core/engine.h"
#include "skin/render/button.h"
#include "skin/render/controlFont.h"
#include "skin/render/controlRegistration.h"
#include "skin/render/registration.h"

namespace {
constexpr LONG kOwnerDrawBits = BS_OWNERDRAW;  // 0x0B: all three set means owner-draw already

LONG styleOf(HWND window) {
  return dll::GetWindowLongA(window, GWL_STYLE);
}

bool isOwnerDrawn(LONG style) {
  return (style & kOwnerDrawBits) == kOwnerDrawBits;
}

// Button types 0, 1 and 8: BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_USERBUTTON.
bool isPushType(LONG style) {
  return !(style & 0x2) && !(style & 0x4) && !((style & 0x1) && (style & 0x8));
}

// Type 9, BS_AUTORADIOBUTTON.
bool isAutoRadioType(LONG style) {
  return !(style & 0x2) && (style & 0x1) && (style & 0x8) && !(style & 0x4);
}

// Types 2, 3 and 10: BS_CHECKBOX, BS_AUTOCHECKBOX, BS_PUSHBOX.
bool isCheckType(LONG style) {
  return (style & 0x2) && !(style & 0x4);
}

Text windowTextOf(HWND window) {
  int length = dll::GetWindowTextLengthA(window);
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = dll::GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// Fills the slot, tags the button with its indices and subclasses it.
void enterButton(WindowRecord& record, int recordIndex, int slot, HWND button, ButtonKind kind) {
  ButtonRecord& entry = record.buttons[slot];
  entry.window = button;
  entry.kind = kind;
  entry.text = windowTextOf(button);
  entry.savedProcedure = subclassRegisteredControl(button, buttonProcedure, slot, recordIndex);
}

void storeFont(ButtonRecord& entry, const ControlFont& font) {
  entry.fontFamily = font.family;
  entry.fontSize = font.size;
  entry.fontStyle = font.style;
}
}  // namespace

void registerPushButtons(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, "BUTTON", [&](HWND button) {
    LONG style = styleOf(button);
    if (isOwnerDrawn(style) || !isPushType(style)) return;
    if (findControlRecord(record->buttons, button)) return;
    int slot = takeRecordSlot(record->buttons);
    enterButton(*record, recordIndex, slot, button, kPushButton);
    dll::SetWindowLongA(button, GWL_STYLE, style | kOwnerDrawBits);
    storeFont(record->buttons[slot], withPushButtonDefaults(readControlFont(button)));
  });
}

void registerCheckAndRadioButtons(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, "BUTTON", [&](HWND button) {
    LONG style = styleOf(button);
    if (isOwnerDrawn(style) || findControlRecord(record->buttons, button)) return;
    ButtonKind kind;
    if (isAutoRadioType(style))
      kind = kRadioButton;
    else if (isCheckType(style))
      kind = kCheckBox;
    else
      return;
    int slot = takeRecordSlot(record->buttons);
    enterButton(*record, recordIndex, slot, button, kind);
    storeFont(record->buttons[slot], readControlFont(button));
  });
}

// The button families' registration passes (push buttons; check boxes and radio buttons) and the
// window procedure they install.
#include "gdi/deviceContext.h"
#include "skin/controls/button/button.h"
#include "skin/controls/shared/controlFont.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/core/engine.h"
#include "skin/core/subclass.h"

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
  ButtonRecord& entry = record.controls->buttons[slot];
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
    if (findControlRecord(record->controls->buttons, button)) return;
    int slot = takeRecordSlot(record->controls->buttons);
    enterButton(*record, recordIndex, slot, button, kPushButton);
    dll::SetWindowLongA(button, GWL_STYLE, style | kOwnerDrawBits);
    storeFont(record->controls->buttons[slot], withPushButtonDefaults(readControlFont(button)));
  });
}

void registerCheckAndRadioButtons(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, "BUTTON", [&](HWND button) {
    LONG style = styleOf(button);
    if (isOwnerDrawn(style) || findControlRecord(record->controls->buttons, button)) return;
    ButtonKind kind;
    if (isAutoRadioType(style))
      kind = kRadioButton;
    else if (isCheckType(style))
      kind = kCheckBox;
    else
      return;
    int slot = takeRecordSlot(record->controls->buttons);
    enterButton(*record, recordIndex, slot, button, kind);
    storeFont(record->controls->buttons[slot], readControlFont(button));
  });
}

namespace {
LRESULT passOn(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  return callSavedProcedure(savedProcedureOf(button), button, message, wParam, lParam);
}

int kindOf(HWND button) {
  ButtonRecord* record = buttonRecordOf(button);
  return record ? record->kind : kPushButton;
}

bool paintsItself(HWND button) {
  return kindOf(button) != kPushButton;
}

// Only owner-draw buttons are told their state by the system; the others read it from the style,
// so that a disabled check box looks disabled whichever message repaints it.
UINT disabledBit(HWND button) {
  return (dll::GetWindowLongA(button, GWL_STYLE) & WS_DISABLED) ? kStateDisabled : 0;
}

void setFocusFlag(HWND button, int hasFocus) {
  if (ButtonRecord* record = buttonRecordOf(button)) record->hasFocus = hasFocus;
}

void keepText(HWND button, LPARAM lParam) {
  auto* text = reinterpret_cast<const char*>(lParam);
  if (ButtonRecord* record = buttonRecordOf(button)) record->text = text ? text : "";
}

// Check boxes and radio buttons draw themselves from WM_PAINT.
LRESULT paintOwnLook(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(button);
    RECT client{};
    dll::GetClientRect(button, &client);
    if (kindOf(button) == kCheckBox)
      paintCheckBox(button, paint.get(), disabledBit(button), client);
    else
      paintRadioButton(button, paint.get(), disabledBit(button), client);
  }
  return defaultProcedure(button, message, wParam, lParam);
}

LRESULT prepareEraseContext(HWND button, HDC dc) {
  dll::SetBkMode(dc, TRANSPARENT);
  return static_cast<LRESULT>(dll::SetTextColor(dc, textColourOf(button)));
}

// The system has just drawn its own look for the key, click or check; ours goes back on top.
LRESULT pressAndRepaint(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (kindOf(button)) {
    case kRadioButton:
      passOn(button, message, wParam, lParam);
      repaintButton(button, kStatePressed);
      return defaultProcedure(button, message, wParam, lParam);
    case kCheckBox:
      passOn(button, message, wParam, lParam);
      repaintButton(button, 0);
      return defaultProcedure(button, message, wParam, lParam);
    default:
      return passOn(button, message, wParam, lParam);
  }
}

// The focus look of a check box or radio button is the system's own, drawn straight to the
// screen; the skin's look is put back over it.
LRESULT changeFocusAndRepaint(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  setFocusFlag(button, message == WM_SETFOCUS ? 1 : 0);
  LRESULT result = passOn(button, message, wParam, lParam);
  if (paintsItself(button)) repaintButton(button, 0);
  return result;
}

void hoverButton(HWND button) {
  trackMouseLeave(button);
  WindowRecord* owner = ownerRecordOf(button);
  int index = listIndexOf(button);
  if (!owner || index < 1) return;
  owner->controlUnderMouse = index;
  if (isHotControl(*owner, index, kHotButtons)) return;
  repaintButton(button, kStateHot);
  makeHotControl(*owner, index, kHotButtons);
}

void clearHot(HWND button) {
  if (WindowRecord* owner = ownerRecordOf(button)) clearHotControl(*owner);
}

void leaveButton(HWND button) {
  clearHot(button);
  ButtonRecord* record = buttonRecordOf(button);
  repaintButton(button, record && record->hasFocus ? kStateFocused : 0);
}
}  // namespace

LRESULT CALLBACK buttonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  // A window that lost its place in the list is left to its own procedure.
  if (listIndexOf(button) < 1) return passOn(button, message, wParam, lParam);
  switch (message) {
    case WM_MOVE:
      dll::InvalidateRect(button, nullptr, TRUE);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return changeFocusAndRepaint(button, message, wParam, lParam);
    case WM_SETTEXT:
      keepText(button, lParam);
      break;
    case WM_PAINT:
      if (paintsItself(button)) return paintOwnLook(button, message, wParam, lParam);
      break;  // the system sends the parent WM_DRAWITEM
    case WM_ERASEBKGND:
      return prepareEraseContext(button, reinterpret_cast<HDC>(wParam));
    case WM_NCPAINT:
      return 1;
    case BM_SETCHECK:
    case WM_LBUTTONDOWN:
      return pressAndRepaint(button, message, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) return pressAndRepaint(button, message, wParam, lParam);
      break;
    case BM_SETSTATE:
      return pressAndRepaint(button, message, wParam, lParam);
    case WM_MOUSEMOVE:
      hoverButton(button);
      break;
    case WM_LBUTTONUP:
      clearHot(button);
      break;
    case WM_LBUTTONDBLCLK:
      return 0;  // a double click is not a second click
    case WM_MOUSELEAVE:
      leaveButton(button);
      break;
  }
  return passOn(button, message, wParam, lParam);
}

void repaintButton(HWND button, UINT state) {
  ButtonRecord* record = buttonRecordOf(button);
  if (!record) return;
  WindowDc dc(button);
  RECT client{};
  dll::GetClientRect(button, &client);
  state |= disabledBit(button);
  switch (record->kind) {
    case kPushButton:
      paintPushButton(button, dc.get(), state, client);
      break;
    case kRadioButton:
      paintRadioButton(button, dc.get(), state, client);
      break;
    case kCheckBox:
      paintCheckBox(button, dc.get(), state, client);
      break;
  }
}

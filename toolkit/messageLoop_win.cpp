#include "toolkit/messageLoop.h"

namespace {
// Esc meant for a multi-line edit box is not delivered. Passing the box's keys through
// IsDialogMessageA puts it in dialog mode, where Esc posts WM_CLOSE to its parent, as the Cancel
// key of a dialog; this window is no dialog and ends only when the user closes it. The box does
// nothing else with Esc, so nothing is lost by not delivering it.
bool isEscapeForMultiLineEdit(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || !message.hwnd) return false;
  char className[8];
  if (!GetClassNameA(message.hwnd, className, sizeof className) || lstrcmpiA(className, "Edit") != 0) return false;
  return (GetWindowLongPtrA(message.hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
}
}  // namespace

int runMessageLoop(HWND mainWindow) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (isEscapeForMultiLineEdit(message)) continue;
    // Tab and arrow keys move between the window's controls.
    if (mainWindow && IsWindow(mainWindow) && IsDialogMessageA(mainWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

#include "support/windows.h"

namespace {
struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (owner == search->processId && std::string(className) == "#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND findProcessDialog(DWORD processId) {
  DialogSearch search{processId, nullptr};
  EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string windowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

std::string messageBoxText(HWND box) {
  // A message box shows its text in the static control with id 0xFFFF.
  HWND label = GetDlgItem(box, 0xFFFF);
  return label ? windowText(label) : std::string();
}

void pumpMessages(DWORD ms) {
  DWORD until = GetTickCount() + ms;
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(1);
  } while (static_cast<int>(until - GetTickCount()) > 0);
}

void repaintNow(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

#include "support/boxWatcher.h"

#include "support/windows.h"

namespace {
BOOL CALLBACK findIcon(HWND child, LPARAM param) {
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  *reinterpret_cast<HICON*>(param) = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  return FALSE;
}

struct ThreadWindows {
  HWND box;
  int enabled = 0;
  int disabled = 0;
};

BOOL CALLBACK countEnabled(HWND window, LPARAM param) {
  auto* seen = reinterpret_cast<ThreadWindows*>(param);
  if (window != seen->box && IsWindowVisible(window)) ++(IsWindowEnabled(window) ? seen->enabled : seen->disabled);
  return TRUE;
}
}  // namespace

BoxWatcher::BoxWatcher() : thread_([this] { watch(); }) {}

BoxWatcher::~BoxWatcher() {
  stop();
}

void BoxWatcher::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void BoxWatcher::watch() {
  while (!stopping_) {
    if (HWND box = findProcessDialog(GetCurrentProcessId())) {
      caption_ = windowText(box);
      text_ = messageBoxText(box);
      hadOwner_ = GetWindow(box, GW_OWNER) != nullptr;
      icon_ = nullptr;
      EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&icon_));
      ThreadWindows others{box};
      EnumThreadWindows(GetWindowThreadProcessId(box, nullptr), countEnabled, reinterpret_cast<LPARAM>(&others));
      disabledItsThread_ = others.disabled > 0 && others.enabled == 0;
      ++boxes_;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Wait for it to go before looking for the next one.
      for (int i = 0; i < 200 && !stopping_ && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
    }
    Sleep(10);
  }
}

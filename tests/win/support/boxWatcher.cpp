#include "support/boxWatcher.h"

#include "support/windows.h"

BoxWatcher::BoxWatcher() : thread_([this] { watch(); }) {}

BoxWatcher::~BoxWatcher() { stop(); }

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
      ++boxes_;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Wait for it to go before looking for the next one.
      for (int i = 0; i < 200 && !stopping_ && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
    }
    Sleep(10);
  }
}

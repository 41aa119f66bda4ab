#include "support/responsivenessProbe.h"

#include <algorithm>

ResponsivenessProbe::ResponsivenessProbe(HWND window)
    : window_(window), started_(GetTickCount64()), thread_([this] { ask(); }) {}

ResponsivenessProbe::~ResponsivenessProbe() {
  stop();
}

void ResponsivenessProbe::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void ResponsivenessProbe::ask() {
  ULONGLONG since = started_;
  while (!stopping_) {
    DWORD_PTR result = 0;
    // A short wait per question, so a window that comes back is noticed within a few ticks.
    bool answered = SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0;
    ULONGLONG now = GetTickCount64();
    if (answered) {
      longestSilence_ = std::max<ULONGLONG>(longestSilence_, now - since);
      since = now;
      lastAnswer_ = now;
      ++answers_;
      Sleep(5);
    }
  }
  longestSilence_ = std::max<ULONGLONG>(longestSilence_, GetTickCount64() - since);
}

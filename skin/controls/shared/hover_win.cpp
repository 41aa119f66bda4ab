#include "skin/controls/shared/hover.h"

#include "skin/controls/shared/controlRecords.h"
#include "win32/declared.h"

void trackMouseLeave(HWND control) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = control;
  dll::TrackMouseEvent(&track);
}

bool isHotControl(const WindowRecord& record, int index, HotListKind kind) {
  return record.hotControlIndex == index && record.hotListKind == kind;
}

void makeHotControl(WindowRecord& record, int index, HotListKind kind) {
  record.hotControlIndex = index;
  record.hotListKind = kind;
}

void clearHotControl(WindowRecord& record) {
  record.hotControlIndex = 0;
}

// The mouse over the caption: hover tracking and the fades it starts, pressing and releasing a
// caption button, the double-click, and the drag by the caption.
#include <windowsx.h>

#include "skin/core/engine.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/captionFade.h"
#include "skin/frame/captionMouse.h"
#include "skin/frame/moveResize.h"

namespace {
constexpr DWORD kHoverTimeMs = 1;

void requestHoverAndLeave(HWND window) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = window;
  track.dwHoverTime = kHoverTimeMs;
  dll::TrackMouseEvent(&track);
}

bool inStrip(const WindowRecord& record, int x, int y) {
  return x >= record.stripLeft && x <= record.stripLeft + record.stripWidth && y >= record.stripTop &&
         y <= record.stripTop + record.stripHeight;
}
}  // namespace

void onCaptionMouseMove(int recordIndex, LPARAM position) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  int x = GET_X_LPARAM(position);
  int y = GET_Y_LPARAM(position);
  RECT client;
  dll::GetClientRect(record->window, &client);
  if (!record->mouseTracked) requestHoverAndLeave(record->window);
  if (record->captionInteractive) {
    if (inStrip(*record, x, y))
      startCaptionTimer(recordIndex);
    else
      record->fadeTimerRunning = 0;  // the timer stops itself once the fades are done
  }
  int hit = hitTestCaptionButtons(*record, x, y);
  engine.setCurrentCaptionHit(hit);
  int hovered = record->hoveredCaptionButton;
  if (hovered && hovered != hit) {
    // A fade-out still running is cut short: its button goes plain at once.
    if (record->fadeOut.button >= 1 && record->fadeOut.step < kFadeSteps)
      drawCaptionButton(recordIndex, record->fadeOut.button, nullptr, false, 0);
    record->fadeOut = {hovered, 0};
  }
  if (hit > 0 && hit != hovered) record->fadeIn = {hit, 0};
  record->hoveredCaptionButton = hit;
  if (!record->maximised) updateResizeCursor(recordIndex, position, client);
}

void onCaptionButtonDown(int recordIndex, LPARAM position) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  RECT client;
  dll::GetClientRect(record->window, &client);
  record->fadeIn.button = 0;
  if (!record->captionInteractive) return;
  if (!record->maximised && !record->minimised) {
    startMoveOrResize(recordIndex, position, client);
    // A drag runs a modal loop; the window (and its record) may be gone when it returns.
    record = engine.recordAt(recordIndex);
    if (!record) return;
  }
  int hit = hitTestCaptionButtons(*record, GET_X_LPARAM(position), GET_Y_LPARAM(position));
  engine.setCurrentCaptionHit(hit);
  if (hit > 0) drawCaptionButton(recordIndex, hit, nullptr, true, 0);
}

void onCaptionButtonUp(int recordIndex) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  int hit = engine.currentCaptionHit();
  if (hit > 0 && hit <= record->captionButtons.count() && record->captionInteractive)
    SkinEngine::captionActionStub(recordIndex, hit);
}

void onCaptionDoubleClick(int recordIndex, LPARAM position) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || GET_Y_LPARAM(position) > record->captionHeight || !record->resizable) return;
  for (int i = 1; i <= record->captionButtons.count(); ++i) {
    if (record->captionButtons[i].kind == kCaptionMaximise) {
      SkinEngine::captionActionStub(recordIndex, i);
      return;
    }
  }
}

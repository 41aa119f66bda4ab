// Track bars: registration under a parent and the window procedure.
#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/trackBar/trackBar.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
constexpr char kTrackBarClass[] = "msctls_trackbar32";

enum TickPlacement : int { kTicksOnTop = 0, kTicksBelow = 1, kTicksBoth = 2, kNoTicks = 3 };

int tickPlacementOf(DWORD style) {
  if (style & TBS_NOTICKS) return kNoTicks;
  if (style & TBS_TOP) return kTicksOnTop;
  if (style & TBS_BOTH) return kTicksBoth;
  return kTicksBelow;
}

void registerTrackBar(int recordIndex, WindowRecord& record, HWND trackBar) {
  TrackBarRecord* entry = enterControl(recordIndex, record.controls->trackBars, trackBar, trackBarProcedure);
  if (!entry) return;
  auto style = static_cast<DWORD>(dll::GetWindowLongA(trackBar, GWL_STYLE));
  entry->vertical = (style & TBS_VERT) ? 1 : 0;
  entry->tickPlacement = tickPlacementOf(style);
  entry->selectionRange = (style & TBS_ENABLESELRANGE) ? 1 : 0;
}

using TrackBar = RegisteredControl<TrackBarRecord>;

LRESULT paintOnPaintMessage(HWND window, const TrackBar& control, WPARAM wParam, LPARAM lParam) {
  return paintThenDefault(window, wParam, lParam,
                          [&](const PaintDc&) { paintTrackBar(control.recordIndex, control.index, false); });
}

LRESULT paintOnNcPaint(const TrackBar& control) {
  paintTrackBar(control.recordIndex, control.index);
  return 1;
}

// Repainted as hot only when it becomes the window's hot control.
void takeHover(HWND window, const TrackBar& control) {
  enterHover(window, control, kHotTrackBars, [&] { paintTrackBar(control.recordIndex, control.index, true); });
}

void dropHover(const TrackBar& control) {
  leaveHover(control, [&] { paintTrackBar(control.recordIndex, control.index, false); });
}
}  // namespace

void registerTrackBars(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, kTrackBarClass, [&](HWND trackBar) { registerTrackBar(recordIndex, *record, trackBar); });
}

LRESULT CALLBACK trackBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  TrackBar control = registeredControlOf(window, &ControlLists::trackBars);
  if (!control.record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      paintTrackBar(control.recordIndex, control.index);
      break;
    case WM_PAINT:
      return paintOnPaintMessage(window, control, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseTransparently(wParam);
    case WM_NCPAINT:
      return paintOnNcPaint(control);
    case WM_MOUSEMOVE:
      takeHover(window, control);
      break;
    case WM_MOUSELEAVE:
      dropHover(control);
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

// Track bars: registration under a parent and the window procedure.
#include "gfx/declared.h"
#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/controlLookup.h"
#include "skin/render/drawing.h"
#include "skin/render/hover.h"
#include "skin/render/registration.h"
#include "skin/render/trackBar.h"
#include "skin/subclass.h"

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
  // A second subclass would make the procedure its own saved procedure.
  if (findControlRecord(record.trackBars, trackBar)) return;
  int slot = takeRecordSlot(record.trackBars);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(trackBar, GWL_STYLE));
  TrackBarRecord& entry = record.trackBars[slot];
  entry.window = trackBar;
  entry.vertical = (style & TBS_VERT) ? 1 : 0;
  entry.tickPlacement = tickPlacementOf(style);
  entry.selectionRange = (style & TBS_ENABLESELRANGE) ? 1 : 0;
  entry.savedProcedure = subclassWindow(trackBar, trackBarProcedure);
  setPropertyTo(trackBar, prop::kSavedProcedure, entry.savedProcedure);
  setPropertyTo(trackBar, prop::kListIndex, slot);
  setPropertyTo(trackBar, prop::kOwnerIndex, recordIndex);
}

struct TrackBar {
  int recordIndex = 0;
  int index = 0;
  WindowRecord* owner = nullptr;
  TrackBarRecord* record = nullptr;
};

TrackBar trackBarOf(HWND window) {
  TrackBar found;
  found.owner = ownerRecordOf(window);
  if (!found.owner) return found;
  found.recordIndex = ownerIndexOf(window);
  found.index = listIndexOf(window);
  found.record = controlRecordOf(found.owner->trackBars, window);
  return found;
}

LRESULT paintOnPaintMessage(HWND window, const TrackBar& control, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(window);
    paintTrackBar(control.recordIndex, control.index, false);
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}

LRESULT paintOnNcPaint(const TrackBar& control) {
  paintTrackBar(control.recordIndex, control.index);
  return 1;
}

// Repainted as hot only when it becomes the window's hot control.
void takeHover(HWND window, const TrackBar& control) {
  trackMouseLeave(window);
  WindowRecord& owner = *control.owner;
  owner.controlUnderMouse = control.index;
  if (isHotControl(owner, control.index, kHotTrackBars)) return;
  control.record->hot = 1;
  paintTrackBar(control.recordIndex, control.index, true);
  makeHotControl(owner, control.index, kHotTrackBars);
}

void dropHover(const TrackBar& control) {
  control.record->hot = 0;
  clearHotControl(*control.owner);
  paintTrackBar(control.recordIndex, control.index, false);
}
}  // namespace

void registerTrackBars(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !parent || !skinEngine().settings().skinEnabled) return;
  for (HWND child = dll::FindWindowExA(parent, nullptr, kTrackBarClass, nullptr); child;
       child = dll::FindWindowExA(parent, child, kTrackBarClass, nullptr))
    registerTrackBar(recordIndex, *record, child);
}

LRESULT CALLBACK trackBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  TrackBar control = trackBarOf(window);
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

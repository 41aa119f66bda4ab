// Progress bars: registration under a parent and the window procedure.
#include "gfx/declared.h"
#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/drawing.h"
#include "skin/render/progressBar.h"
#include "skin/render/registration.h"
#include "skin/subclass.h"

namespace {
constexpr char kProgressBarClass[] = "msctls_progress32";

void registerProgressBar(int recordIndex, WindowRecord& record, HWND progressBar) {
  // A second subclass would make the procedure its own saved procedure.
  if (findControlRecord(record.progressBars, progressBar)) return;
  int slot = takeRecordSlot(record.progressBars);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(progressBar, GWL_STYLE));
  ProgressBarRecord& entry = record.progressBars[slot];
  entry.window = progressBar;
  entry.vertical = (style & PBS_VERTICAL) ? 1 : 0;
  entry.savedProcedure = subclassWindow(progressBar, progressBarProcedure);
  setPropertyTo(progressBar, prop::kSavedProcedure, entry.savedProcedure);
  setPropertyTo(progressBar, prop::kListIndex, slot);
  setPropertyTo(progressBar, prop::kOwnerIndex, recordIndex);
}

struct ProgressBar {
  int recordIndex = 0;
  int index = 0;
};

// The control's place in its list; index 0 when it is not (or no longer) registered.
ProgressBar progressBarOf(HWND window) {
  ProgressBar found;
  if (!skinEngineExists()) return found;
  found.recordIndex = ownerIndexOf(window);
  WindowRecord* owner = skinEngine().recordAt(found.recordIndex);
  int index = listIndexOf(window);
  if (owner && index >= 1 && index <= owner->progressBars.count()) found.index = index;
  return found;
}

LRESULT paintOnPaintMessage(HWND window, const ProgressBar& control, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(window);
    paintProgressBar(control.recordIndex, control.index, paint.get());
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}

LRESULT paintOnNcPaint(const ProgressBar& control) {
  paintProgressBar(control.recordIndex, control.index);
  return 1;
}
}  // namespace

void registerProgressBars(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !parent || !skinEngine().settings().skinEnabled) return;
  for (HWND child = dll::FindWindowExA(parent, nullptr, kProgressBarClass, nullptr); child;
       child = dll::FindWindowExA(parent, child, kProgressBarClass, nullptr))
    registerProgressBar(recordIndex, *record, child);
}

LRESULT CALLBACK progressBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  ProgressBar control = progressBarOf(window);
  if (control.index < 1) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      paintProgressBar(control.recordIndex, control.index);
      break;
    case WM_PAINT:
      return paintOnPaintMessage(window, control, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseTransparently(wParam);
    case WM_NCPAINT:
      return paintOnNcPaint(control);
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

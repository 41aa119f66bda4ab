// Progress bars: registration under a parent and the window procedure.
#include "skin/controls/progressBar/progressBar.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
constexpr char kProgressBarClass[] = "msctls_progress32";

void registerProgressBar(int recordIndex, WindowRecord& record, HWND progressBar) {
  ProgressBarRecord* entry =
      enterControl(recordIndex, record.controls->progressBars, progressBar, progressBarProcedure);
  if (!entry) return;
  auto style = static_cast<DWORD>(dll::GetWindowLongA(progressBar, GWL_STYLE));
  entry->vertical = (style & PBS_VERTICAL) ? 1 : 0;
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
  if (owner && index >= 1 && index <= owner->controls->progressBars.count()) found.index = index;
  return found;
}

LRESULT paintOnPaintMessage(HWND window, const ProgressBar& control, WPARAM wParam, LPARAM lParam) {
  return paintThenDefault(window, wParam, lParam, [&](const PaintDc& paint) {
    paintProgressBar(control.recordIndex, control.index, paint.get());
  });
}

LRESULT paintOnNcPaint(const ProgressBar& control) {
  paintProgressBar(control.recordIndex, control.index);
  return 1;
}
}  // namespace

void registerProgressBars(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  forEachChildOfClass(parent, kProgressBarClass,
                      [&](HWND progressBar) { registerProgressBar(recordIndex, *record, progressBar); });
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

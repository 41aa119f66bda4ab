// Headers: registration under a parent (and inside its list views) and the window procedure.
#include <windowsx.h>

#include "skin/controls/header/header.h"
#include "skin/controls/shared/controlFont.h"
#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
constexpr char kHeaderClass[] = "SysHeader32";
constexpr char kListViewClass[] = "SysListView32";
constexpr int kNoItem = -1;

void registerHeader(int recordIndex, WindowRecord& record, HWND header) {
  HeaderRecord* entry = enterControl(recordIndex, record.controls->headers, header, headerProcedure);
  if (!entry) return;
  auto style = static_cast<DWORD>(dll::GetWindowLongA(header, GWL_STYLE));
  ControlFont font = readControlFont(header);
  entry->buttonsStyle = (style & HDS_BUTTONS) ? 1 : 0;
  entry->hotItem = kNoItem;
  entry->pressedItem = kNoItem;
  entry->fontFamily = font.family;
  entry->fontSize = font.size;
  entry->fontStyle = font.style;
}

using Header = RegisteredControl<HeaderRecord>;

void repaint(const Header& control, std::optional<bool> hot = {}) {
  paintHeader(control.recordIndex, control.index, hot);
}

LRESULT paintOnPaintMessage(HWND window, const Header& control, WPARAM wParam, LPARAM lParam) {
  return paintThenDefault(window, wParam, lParam, [&](const PaintDc&) { repaint(control, false); });
}

void destroyImageList(const Header& control) {
  if (control.record->imageList) dll::ImageList_Destroy(control.record->imageList);
  control.record->imageList = nullptr;
}

POINT pointOf(LPARAM lParam) {
  return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

// Repainted when the header becomes the window's hot control, or when the mouse crosses into
// another item.
void takeHover(HWND window, const Header& control, LPARAM lParam) {
  int item = headerItemAt(window, pointOf(lParam));
  bool itemChanged = item != control.record->hotItem;
  control.record->hotItem = item;
  auto paintHot = [&] { repaint(control, true); };
  if (!enterHover(window, control, kHotHeaders, paintHot) && itemChanged) paintHot();
}

// The pressed look of a buttons-style header lasts while the button is held on an item.
void press(HWND window, const Header& control, LPARAM lParam) {
  control.record->pressedItem = headerItemAt(window, pointOf(lParam));
  repaint(control);
}

void release(const Header& control) {
  control.record->pressedItem = kNoItem;
  repaint(control);
}

void dropHover(const Header& control) {
  leaveHover(control, [&] { repaint(control, false); });
}
}  // namespace

void registerHeaders(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  auto add = [&](HWND header) { registerHeader(recordIndex, *record, header); };
  forEachChildOfClass(parent, kHeaderClass, add);
  forEachChildOfClass(parent, kListViewClass,
                      [&](HWND listView) { add(dll::FindWindowExA(listView, nullptr, kHeaderClass, nullptr)); });
}

int headerItemAt(HWND header, POINT point) {
  HDHITTESTINFO hit{};
  hit.pt = point;
  return static_cast<int>(dll::SendMessageA(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

LRESULT CALLBACK headerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  Header control = registeredControlOf(window, &ControlLists::headers);
  if (!control.record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      repaint(control);
      break;
    case WM_PAINT:
      return paintOnPaintMessage(window, control, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseTransparently(wParam);
    case WM_NCDESTROY:
      destroyImageList(control);
      break;
    case WM_MOUSEMOVE:
      takeHover(window, control, lParam);
      break;
    case WM_LBUTTONDOWN:
      press(window, control, lParam);
      break;
    case WM_LBUTTONUP:
      release(control);
      break;
    case WM_MOUSELEAVE:
      dropHover(control);
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

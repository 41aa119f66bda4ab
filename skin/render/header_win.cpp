// Headers: registration under a parent (and inside its list views) and the window procedure.
#include <windowsx.h>

#include "gfx/declared.h"
#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/controlFont.h"
#include "skin/render/controlLookup.h"
#include "skin/render/drawing.h"
#include "skin/render/header.h"
#include "skin/render/hover.h"
#include "skin/render/registration.h"
#include "skin/subclass.h"

namespace {
constexpr char kHeaderClass[] = "SysHeader32";
constexpr char kListViewClass[] = "SysListView32";
constexpr int kNoItem = -1;

void registerHeader(int recordIndex, WindowRecord& record, HWND header) {
  // A second subclass would make the procedure its own saved procedure.
  if (!header || findControlRecord(record.headers, header)) return;
  int slot = takeRecordSlot(record.headers);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(header, GWL_STYLE));
  ControlFont font = readControlFont(header);
  HeaderRecord& entry = record.headers[slot];
  entry.window = header;
  entry.buttonsStyle = (style & HDS_BUTTONS) ? 1 : 0;
  entry.hotItem = kNoItem;
  entry.pressedItem = kNoItem;
  entry.fontFamily = font.family;
  entry.fontSize = font.size;
  entry.fontStyle = font.style;
  entry.savedProcedure = subclassWindow(header, headerProcedure);
  setPropertyTo(header, prop::kSavedProcedure, entry.savedProcedure);
  setPropertyTo(header, prop::kListIndex, slot);
  setPropertyTo(header, prop::kOwnerIndex, recordIndex);
}

template <typename Visit>
void forEachChild(HWND parent, const char* className, Visit visit) {
  for (HWND child = dll::FindWindowExA(parent, nullptr, className, nullptr); child;
       child = dll::FindWindowExA(parent, child, className, nullptr))
    visit(child);
}

struct Header {
  int recordIndex = 0;
  int index = 0;
  WindowRecord* owner = nullptr;
  HeaderRecord* record = nullptr;
};

Header headerOf(HWND window) {
  Header found;
  found.owner = ownerRecordOf(window);
  if (!found.owner) return found;
  found.recordIndex = ownerIndexOf(window);
  found.index = listIndexOf(window);
  found.record = controlRecordOf(found.owner->headers, window);
  return found;
}

void repaint(const Header& control, std::optional<bool> hot = {}) {
  paintHeader(control.recordIndex, control.index, hot);
}

LRESULT paintOnPaintMessage(HWND window, const Header& control, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(window);
    repaint(control, false);
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
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
  trackMouseLeave(window);
  WindowRecord& owner = *control.owner;
  owner.controlUnderMouse = control.index;
  int item = headerItemAt(window, pointOf(lParam));
  bool itemChanged = item != control.record->hotItem;
  control.record->hotItem = item;
  if (!isHotControl(owner, control.index, kHotHeaders)) {
    control.record->hot = 1;
    repaint(control, true);
    makeHotControl(owner, control.index, kHotHeaders);
  } else if (itemChanged) {
    repaint(control, true);
  }
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
  control.record->hot = 0;
  clearHotControl(*control.owner);
  repaint(control, false);
}
}  // namespace

void registerHeaders(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !parent || !skinEngine().settings().skinEnabled) return;
  auto add = [&](HWND header) { registerHeader(recordIndex, *record, header); };
  forEachChild(parent, kHeaderClass, add);
  forEachChild(parent, kListViewClass,
               [&](HWND listView) { add(dll::FindWindowExA(listView, nullptr, kHeaderClass, nullptr)); });
}

int headerItemAt(HWND header, POINT point) {
  HDHITTESTINFO hit{};
  hit.pt = point;
  return static_cast<int>(dll::SendMessageA(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

LRESULT CALLBACK headerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  Header control = headerOf(window);
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

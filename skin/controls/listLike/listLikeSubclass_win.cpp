// Registering the list-like controls under a parent, class by class, and the list window procedure:
// frame, focus, hover and arrow-key state, and the translucent paint.
#include "gdi/gdiHandle.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlLookup.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/controlRegistration.h"
#include "skin/controls/shared/hover.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/controls/shared/whitenedBuffer.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
constexpr DWORD kOwnerDrawnList = 0x10;         // LBS_OWNERDRAWFIXED on a combo box's list
constexpr DWORD kListViewLeftAlone = 0x10;      // list views with this style bit keep the system look
constexpr COLORREF kTreeBackground = 0xFF00FF;  // keyed out when the tree is composed

DWORD styleOf(HWND window) {
  return static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
}

// The list of a simple combo box is its child; a drop-down's list is a pop-up and is not found.
HWND comboListOf(HWND comboBox) {
  HWND list = dll::FindWindowExA(comboBox, nullptr, "ComboLBox", nullptr);
  return list && !(styleOf(list) & kOwnerDrawnList) ? list : nullptr;
}
}  // namespace

void registerListLikeControls(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  const SkinSettings& settings = skinEngine().settings();
  auto add = [&](HWND control) { enterControl(recordIndex, record->controls->listLikes, control, listLikeProcedure); };

  forEachChildOfClass(parent, "ListBox", add);
  forEachChildOfClass(parent, "ComboBox", [&](HWND comboBox) { add(comboListOf(comboBox)); });
  forEachChildOfClass(parent, "SysListView32", [&](HWND listView) {
    if (styleOf(listView) & kListViewLeftAlone) return;
    if (settings.translucencyGiven) dll::SendMessageA(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE));
    add(listView);
  });
  forEachChildOfClass(parent, "SysTreeView32", [&](HWND treeView) {
    if (settings.translucencyGiven)
      dll::SendMessageA(treeView, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBackground));
    add(treeView);
  });
  forEachChildOfClass(parent, "SysIPAddress32", add);
  forEachChildOfClass(parent, "SysDateTimePick32", add);
}

namespace {
// The query the UI toolkit sends to its own controls. With an arrow key held the list may have
// scrolled its content over a background that cannot scroll with it.
constexpr UINT kToolkitQuery = 0x8002;
constexpr WPARAM kNoRegion = static_cast<WPARAM>(-1);

using ListLike = RegisteredControl<ListRecord>;

bool translucencyGiven() {
  return skinEngine().settings().translucencyGiven;
}

bool isTreeView(HWND window) {
  return hasClass(window, "SysTreeView32");
}
bool isListView(HWND window) {
  return hasClass(window, "SysListView32");
}
bool isPlainListBox(HWND window) {
  return hasClass(window, "ListBox") && !isOwnerDrawnListBox(window);
}
bool isFieldControl(HWND window) {
  return hasClass(window, "SysIPAddress32") || hasClass(window, "SysDateTimePick32");
}

void invalidate(HWND window, BOOL erase) {
  dll::InvalidateRect(window, nullptr, erase);
}

void setFocus(const ListLike& control, int focused) {
  control.record->hasFocus = focused;
  drawListFrame(control.recordIndex, control.index);
}

LRESULT paintOnPaintMessage(HWND window, const ListLike& control, WNDPROC saved, WPARAM wParam, LPARAM lParam) {
  drawListFrame(control.recordIndex, control.index);
  if (translucencyGiven()) {
    if (isTreeView(window)) {
      composeTreeView(window, saved);
      return 0;
    }
    if (isListView(window) || isPlainListBox(window)) {
      paintThroughWhitenedBuffer(window, saved);
      return 0;
    }
  }
  return callSavedProcedure(saved, window, WM_PAINT, wParam, lParam);
}

// IP address and date-time fields get the edit boxes' translucent background.
LRESULT eraseFieldBackground(HWND window, HDC dc) {
  dll::SetBkMode(dc, TRANSPARENT);
  paintEditBackground(window, dc);
  return static_cast<LRESULT>(dll::SetTextColor(dc, textColourOf(window)));
}

LRESULT eraseBackground(HWND window, WNDPROC saved, WPARAM wParam, LPARAM lParam) {
  auto dc = reinterpret_cast<HDC>(wParam);
  if (translucencyGiven()) {
    if (isTreeView(window) || isListView(window) || isPlainListBox(window)) return eraseTransparently(wParam);
    if (isFieldControl(window)) return eraseFieldBackground(window, dc);
  }
  return callSavedProcedure(saved, window, WM_ERASEBKGND, wParam, lParam);
}

// The system draws only the scroll bars; the rest of the border is the skin's frame.
HRGN scrollBarRegion(HWND window) {
  HRGN region = dll::CreateRectRgn(0, 0, 0, 0);
  for (LONG bar : {OBJID_HSCROLL, OBJID_VSCROLL}) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!dll::GetScrollBarInfo(window, bar, &info)) continue;
    OwnedRegion barRegion(dll::CreateRectRgnIndirect(&info.rcScrollBar));
    dll::CombineRgn(region, region, barRegion.get(), RGN_OR);
  }
  return region;
}

LRESULT paintFrameOnNcPaint(HWND window, const ListLike& control, LPARAM lParam) {
  drawListFrame(control.recordIndex, control.index);
  if (!hasScrollBar(window)) return defaultProcedure(window, WM_NCPAINT, kNoRegion, lParam);
  OwnedRegion region(scrollBarRegion(window));
  return defaultProcedure(window, WM_NCPAINT, reinterpret_cast<WPARAM>(region.get()), lParam);
}

void noteArrowKey(const ListLike& control, WPARAM key) {
  if (key >= VK_LEFT && key <= VK_DOWN) control.record->arrowKeyDown = 1;
}

void releaseArrowKey(const ListLike& control) {
  dll::ReleaseCapture();
  control.record->arrowKeyDown = 0;
}

// The frame is redrawn as hot only when this control becomes the window's hot control.
void takeHover(HWND window, const ListLike& control) {
  enterHover(window, control, kHotListLike, [&] { drawListFrame(control.recordIndex, control.index, true); });
}

void dropHover(const ListLike& control) {
  leaveHover(control, [&] { drawListFrame(control.recordIndex, control.index, false); });
}

void invalidateOnArrowScroll(HWND window, const ListLike& control) {
  if (translucencyGiven() && control.record->arrowKeyDown) invalidate(window, FALSE);
}
}  // namespace

LRESULT CALLBACK listLikeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  ListLike control = registeredControlOf(window, &ControlLists::listLikes);
  if (!control.record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      if (translucencyGiven()) invalidate(window, TRUE);
      break;
    case WM_SETFOCUS:
      setFocus(control, 1);
      break;
    case WM_KILLFOCUS:
      setFocus(control, 0);
      break;
    case WM_PAINT:
      return paintOnPaintMessage(window, control, saved, wParam, lParam);
    case WM_ERASEBKGND:
      return eraseBackground(window, saved, wParam, lParam);
    case WM_NCPAINT:
      return paintFrameOnNcPaint(window, control, lParam);
    case WM_KEYDOWN:
      noteArrowKey(control, wParam);
      break;
    case WM_KEYUP:
      releaseArrowKey(control);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
      if (translucencyGiven()) invalidate(window, TRUE);
      break;
    case WM_MOUSEMOVE:
      takeHover(window, control);
      break;
    case WM_MOUSELEAVE:
      dropHover(control);
      break;
    case kToolkitQuery:
      invalidateOnArrowScroll(window, control);
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

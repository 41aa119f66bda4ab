// A container's record, and the container window procedure: it paints skinned containers and
// answers the children's colour, draw-item, notify and change messages as the skinned window does
// for its own children.
#include "skin/controls/container/container.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlFont.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "win32/declared.h"

namespace {
bool isGroupBox(HWND window) {
  auto style = static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
  return hasClass(window, "Button") && (style & 0x4);
}

ContainerRecord newContainer(HWND window, COLORREF bodyColour, int alpha, int skinned, int border) {
  ContainerRecord container;
  container.window = window;
  container.bodyColour = bodyColour;
  container.alpha = static_cast<BYTE>(alpha);
  container.border = border;
  container.skinned = skinned;
  container.childLayout = Array<LayoutChild>{LayoutChild{}};
  if (isGroupBox(window)) {
    ControlFont font = readControlFont(window);
    container.isGroupBox = 1;
    container.fontFamily = font.family;
    container.fontSize = font.size;
    container.fontStyle = font.style;
  }
  return container;
}
}  // namespace

int enterContainer(WindowRecord& record, HWND container, COLORREF bodyColour, int alpha, int skinned, int border) {
  Array<ContainerRecord>& containers = record.controls->containers;
  int slot = takeRecordSlot(containers);
  containers[slot] = newContainer(container, bodyColour, alpha, skinned, border);
  return slot;
}

namespace {
constexpr BYTE kOpaque = 255;
constexpr int kLayoutLeft = 2;
constexpr int kLayoutMargins = 4;

// The container's record and where it is; null when the window is not (or no longer) registered.
struct Container {
  int recordIndex = 0;
  int index = 0;
  ContainerRecord* record = nullptr;
};

Container containerOf(HWND window) {
  Container found;
  if (!skinEngineExists()) return found;
  found.recordIndex = ownerIndexOf(window);
  found.index = listIndexOf(window);
  WindowRecord* owner = skinEngine().recordAt(found.recordIndex);
  if (owner && found.index >= 1 && found.index <= owner->controls->containers.count())
    found.record = &owner->controls->containers[found.index];
  return found;
}

bool skinned(const Container& container) {
  return container.record && container.record->skinned;
}

bool translucent() {
  const SkinSettings& settings = skinEngine().settings();
  return settings.skinEnabled && settings.translucencyGiven;
}

void invalidateIfSeeThrough(HWND window, const Container& container) {
  if (skinned(container) && container.record->alpha != kOpaque) dll::InvalidateRect(window, nullptr, FALSE);
}

// The windows of the child layout list follow the container's width.
void markResizedAndLayOut(HWND window, const Container& container) {
  if (!container.record) return;
  container.record->resized = 1;
  RECT client;
  dll::GetClientRect(window, &client);
  for (const LayoutChild& child : container.record->childLayout) {
    if (!child.window) continue;
    RECT placed;
    dll::GetWindowRect(child.window, &placed);
    dll::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
    dll::MoveWindow(child.window, kLayoutLeft, placed.top, client.right - kLayoutMargins, placed.bottom - placed.top,
                    TRUE);
  }
}

void invalidateTransparentChildren(HWND window) {
  for (HWND child = dll::GetWindow(window, GW_CHILD); child; child = dll::GetWindow(child, GW_HWNDNEXT))
    if (static_cast<DWORD>(dll::GetWindowLongA(child, GWL_EXSTYLE)) & WS_EX_TRANSPARENT)
      dll::InvalidateRect(child, nullptr, FALSE);
}

// After a resize the whole container is painted once; otherwise only the update rectangle, around
// the opaque children, and the transparent children repaint over the new background.
LRESULT paintOnPaintMessage(HWND window, const Container& container, WPARAM wParam, LPARAM lParam) {
  return paintThenDefault(window, wParam, lParam, [&](const PaintDc& paint) {
    if (container.record->resized) {
      container.record->resized = 0;
      paintContainer(container.recordIndex, container.index, paint.get(), nullptr);
    } else {
      paintContainer(container.recordIndex, container.index, nullptr, &paint.paint().rcPaint);
      invalidateTransparentChildren(window);
    }
  });
}

LRESULT paintWhenShown(HWND window, const Container& container, WNDPROC saved, WPARAM wParam, LPARAM lParam) {
  callSavedProcedure(saved, window, WM_SHOWWINDOW, wParam, lParam);
  if (skinned(container)) paintContainer(container.recordIndex, container.index, nullptr, nullptr);
  return defaultProcedure(window, WM_SHOWWINDOW, wParam, lParam);
}

void forwardDrawItem(const Container& container, LPARAM lParam) {
  if (!lParam || container.recordIndex < 1) return;
  DRAWITEMSTRUCT item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  drawItem(container.recordIndex, item);
}

HWND controlOf(LPARAM lParam) {
  return reinterpret_cast<HWND>(lParam);
}
HDC dcOf(WPARAM wParam) {
  return reinterpret_cast<HDC>(wParam);
}

// The edit field of a combo box keeps the system colours; the combo box answers for it.
bool isPlainEditBox(HWND edit) {
  return !hasClass(dll::GetParent(edit), "ComboBox");
}

bool isPlainListBox(HWND control) {
  return hasClass(control, "ListBox") && !isOwnerDrawnListBox(control);
}
}  // namespace

LRESULT CALLBACK containerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  Container container = containerOf(window);
  if (!container.record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_MOVE:
      invalidateIfSeeThrough(window, container);
      break;
    case WM_SIZE:
      markResizedAndLayOut(window, container);
      break;
    case WM_PAINT:
      if (skinned(container)) return paintOnPaintMessage(window, container, wParam, lParam);
      break;
    case WM_ERASEBKGND:
      if (skinned(container)) return eraseTransparently(wParam);
      break;
    case WM_SHOWWINDOW:
      if (wParam == 1) return paintWhenShown(window, container, saved, wParam, lParam);
      break;
    case WM_DRAWITEM:
      forwardDrawItem(container, lParam);
      break;
    case WM_NOTIFY:
      invalidateOnTreeExpansion(lParam);
      break;
    case WM_COMMAND:
      if (translucent()) invalidateOnChangeNotification(wParam, lParam);
      break;
    case WM_CTLCOLOREDIT:
      if (translucent() && isPlainEditBox(controlOf(lParam)))
        return answerWithBackgroundBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORSTATIC:
      if (translucent()) return answerWithBackgroundBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORLISTBOX:
      if (translucent() && isPlainListBox(controlOf(lParam)))
        return answerWithNullBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORBTN:
      if (translucent()) return answerWithNullBrush(controlOf(lParam), dcOf(wParam));
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

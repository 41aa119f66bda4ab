// The message handler of every skinned top-level window, and the engine's bound stubs that reach
// it. One case per message it answers; the others, and every row that does not return, end in
// the window's saved procedure.
#include <cstring>

#include "gdi/deviceContext.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/procedureRows.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/captionFade.h"
#include "skin/frame/captionMouse.h"
#include "skin/frame/frame.h"
#include "skin/frame/moveResize.h"
#include "skin/frame/teardown.h"
#include "skin/frame/trim.h"

namespace {
SkinSettings& settings() {
  return skinEngine().settings();
}

bool translucentSkin() {
  return settings().skinEnabled && settings().translucencyGiven;
}

// The taskbar is taken to lie along the bottom edge.
int taskbarHeight() {
  HWND taskbar = dll::FindWindowA("Shell_TrayWnd", nullptr);
  RECT rect{};
  if (!taskbar || !dll::GetWindowRect(taskbar, &rect)) return 0;
  return rect.bottom - rect.top;
}

void onSize(WindowRecord& record, int recordIndex) {
  record.hoveredCaptionButton = 0;
  if (settings().firstSizeFlag) {
    // The repaint of skinning time stands.
    record.fullRepaintNeeded = 0;
    settings().firstSizeFlag = 0;
  } else {
    record.fullRepaintNeeded = 1;
  }
  placeDockedChildren(recordIndex);
}

void onSetText(const WindowRecord& record, int recordIndex, LPARAM lParam) {
  if (!record.titleDrawn || !record.captionInteractive) return;
  // A null text is the empty title; the window text is still the old one here.
  auto text = reinterpret_cast<const char*>(lParam);
  redrawTitle(recordIndex, text ? text : "");
}

LRESULT paintFrame(WindowRecord& record, int recordIndex, HWND window, WPARAM wParam, LPARAM lParam) {
  {
    PaintDc paint(window);
    if (!record.minimised) {
      if (record.fullRepaintNeeded)
        fullPaint(recordIndex, paint.get(), true);
      else
        bufferedPaint(recordIndex, paint.get());
    }
  }
  return defaultProcedure(window, WM_PAINT, wParam, lParam);
}

LRESULT eraseBackground(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}

void onShown(WindowRecord& record, int recordIndex, HWND window) {
  if (record.minimised) {
    record.minimised = 0;
    return;
  }
  PaintDc paint(window);
  fullPaint(recordIndex, paint.get(), true);
}

void applyTrackingSizes(const WindowRecord& record, LPARAM lParam) {
  MINMAXINFO info;
  std::memcpy(&info, reinterpret_cast<const void*>(lParam), sizeof info);
  info.ptMinTrackSize = record.minimumTrackSize;
  if (record.maximised)
    info.ptMaxTrackSize =
        POINT{dll::GetSystemMetrics(SM_CXSCREEN), dll::GetSystemMetrics(SM_CYSCREEN) - taskbarHeight()};
  else
    info.ptMaxTrackSize = record.maximumTrackSize;
  std::memcpy(reinterpret_cast<void*>(lParam), &info, sizeof info);
}

void dispatchDrawItem(int recordIndex, LPARAM lParam) {
  DRAWITEMSTRUCT item;
  std::memcpy(&item, reinterpret_cast<const void*>(lParam), sizeof item);
  drawItem(recordIndex, item);
}

// A window maximised by the system covers the taskbar; it is shrunk to leave it visible.
void keepTaskbarVisible(WindowRecord& record) {
  if (record.maximiseBox != 1) return;
  RECT client;
  dll::GetClientRect(record.window, &client);
  int screenWidth = dll::GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = dll::GetSystemMetrics(SM_CYSCREEN);
  if (client.right != screenWidth || client.bottom != screenHeight) return;
  int taskbar = taskbarHeight();
  record.maximised = 1;
  dll::SetWindowPos(record.window, nullptr, 0, 0, screenWidth, screenHeight - taskbar,
                    SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void onWindowPosChanged(WindowRecord& record, int recordIndex) {
  keepTaskbarVisible(record);
  // The record may have been replaced by a nested teardown of the SetWindowPos above.
  WindowRecord* current = skinEngine().recordAt(recordIndex);
  if (current != &record) return;
  layoutCaptionButtons(record);
  if (record.bottomBarHeight > 0) {
    RECT client;
    dll::GetClientRect(record.window, &client);
    record.bottomBarRect = RECT{0, client.bottom - record.bottomBarHeight, client.right, client.bottom};
  }
}

void onSystemCommand(WindowRecord& record, WPARAM wParam) {
  switch (wParam & 0xFFF0) {
    case SC_MAXIMIZE:
      record.maximised = 1;
      record.fullRepaintNeeded = 1;
      break;
    case SC_RESTORE:
      record.fullRepaintNeeded = 1;
      record.minimised = 0;
      break;
    case SC_MINIMIZE:
      record.fullRepaintNeeded = 1;
      record.minimised = 1;
      break;
  }
}

bool isCaptionTimer(HWND window, WPARAM wParam) {
  return wParam == reinterpret_cast<WPARAM>(window);
}

HWND controlOf(LPARAM lParam) {
  return reinterpret_cast<HWND>(lParam);
}
HDC dcOf(WPARAM wParam) {
  return reinterpret_cast<HDC>(wParam);
}

// WM_CTLCOLOREDIT: the edit field of a combo box keeps the system colours.
bool answersEditColour(LPARAM lParam) {
  return !hasClass(dll::GetParent(controlOf(lParam)), "ComboBox") && translucentSkin();
}

bool answersListBoxColour(LPARAM lParam) {
  HWND control = controlOf(lParam);
  return settings().skinEnabled && hasClass(control, "ListBox") && !isOwnerDrawnListBox(control) &&
         settings().translucencyGiven;
}
}  // namespace

LRESULT SkinEngine::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC saved = savedProcedureOf(window);
  int n = listIndexOf(window);
  WindowRecord* record = recordAt(n);
  if (!record) return callSavedProcedure(saved, window, message, wParam, lParam);

  switch (message) {
    case WM_SIZE:
      onSize(*record, n);
      break;
    case WM_SETTEXT:
      onSetText(*record, n, lParam);
      break;
    case WM_PAINT:
      return paintFrame(*record, n, window, wParam, lParam);
    case WM_QUERYOPEN:
      record->minimised = 0;
      break;
    case WM_ERASEBKGND:
      return eraseBackground(wParam);
    case WM_SHOWWINDOW:
      if (wParam == 1) onShown(*record, n, window);
      break;
    case WM_ACTIVATEAPP:
      onActivateApp(window, wParam);
      break;
    case WM_GETMINMAXINFO:
      applyTrackingSizes(*record, lParam);
      break;
    case WM_DRAWITEM:
      dispatchDrawItem(n, lParam);
      break;
    case WM_WINDOWPOSCHANGED:
      onWindowPosChanged(*record, n);
      break;
    case WM_NOTIFY:
      invalidateOnTreeExpansion(lParam);
      break;
    case WM_NCDESTROY:
      tearDownWindow(window);
      dll::KillTimer(window, reinterpret_cast<UINT_PTR>(window));
      removeProperty(window, prop::kListIndex);
      removeProperty(window, prop::kSavedProcedure);
      break;
    case WM_COMMAND:
      if (translucentSkin()) invalidateOnChangeNotification(wParam, lParam);
      break;
    case WM_SYSCOMMAND:
      onSystemCommand(*record, wParam);
      break;
    case WM_TIMER:
      if (isCaptionTimer(window, wParam)) advanceCaptionFade(n);
      break;
    case WM_CTLCOLOREDIT:
      if (answersEditColour(lParam)) return answerWithBackgroundBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORLISTBOX:
      if (answersListBoxColour(lParam)) return answerWithNullBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORBTN:
      if (translucentSkin()) return answerWithNullBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_CTLCOLORSTATIC:
      if (translucentSkin()) return answerWithBackgroundBrush(controlOf(lParam), dcOf(wParam));
      break;
    case WM_MOUSEMOVE:
      onCaptionMouseMove(n, lParam);
      break;
    case WM_LBUTTONDOWN:
      onCaptionButtonDown(n, lParam);
      break;
    case WM_LBUTTONUP:
      onCaptionButtonUp(n);
      break;
    case WM_LBUTTONDBLCLK:
      onCaptionDoubleClick(n, lParam);
      break;
    case WM_MOUSEHOVER:
      record->mouseTracked = 1;
      break;
    case WM_MOUSELEAVE:
      record->mouseTracked = 0;
      fadeOutOnMouseLeave(n);
      break;
  }
  return callSavedProcedure(saved, window, message, wParam, lParam);
}

void SkinEngine::runCaptionAction(int recordIndex, int button) {
  runCaptionButtonAction(recordIndex, button);
}

LRESULT CALLBACK SkinEngine::messageHandlerStub(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A window can outlive the engine at exit; it then only has its own procedure.
  if (!skinEngineExists()) return callSavedProcedure(savedProcedureOf(window), window, message, wParam, lParam);
  return skinEngine().handleMessage(window, message, wParam, lParam);
}

void SkinEngine::captionActionStub(int recordIndex, int button) {
  if (skinEngineExists()) skinEngine().runCaptionAction(recordIndex, button);
}

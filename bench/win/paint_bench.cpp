// The skinned main window's frame: a full paint (shape, photograph, border, title, buttons), a
// buffered paint (one copy of the background buffer), one tick of the caption hover fade and one
// keystroke into the proxy list with its repaint; each beside the paint of a plain, unskinned
// top-level window of the same size, in the same run.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/mainWindow.h"
#include "app/startup.h"
#include "benchTiming.h"
#include "skin/core/engine.h"
#include "skin/frame/frame.h"

namespace {
constexpr int kRuns = 15;
constexpr int kBatch = 20;         // operations per timed run; the figures are per operation
constexpr int kListingLines = 20;  // lines in the proxy list the keystrokes go to

void pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

Timing perOperation(const std::function<void()>& operation) {
  Timing batch = timeRuns(kRuns, [&] {
    for (int i = 0; i < kBatch; ++i) operation();
  });
  return {batch.median / kBatch, batch.min / kBatch, batch.max / kBatch};
}

HWND createPlainWindow(const RECT& like) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "QvPlainBenchWindow";
  RegisterClassA(&windowClass);
  HWND plain = CreateWindowExA(0, windowClass.lpszClassName, kMainWindowCaption, WS_POPUP | WS_VISIBLE, like.left + 20,
                               like.top + 20, like.right - like.left, like.bottom - like.top, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
  return plain;
}
}  // namespace

int main() {
  createSkinEngine();
  initialiseModules();
  createMainWindow();
  HWND window = mainForm().window();
  int index = findWindowRecord(window);
  if (!index) {
    std::printf("the main window is not skinned\n");
    return 1;
  }
  pump();
  RECT rect;
  GetWindowRect(window, &rect);
  HWND plain = createPlainWindow(rect);
  pump();

  // The plain window's own paint: erase with the class brush, then the default WM_PAINT.
  Timing plainPaint = perOperation([&] {
    InvalidateRect(plain, nullptr, TRUE);
    UpdateWindow(plain);
  });

  Timing full = perOperation([&] { fullPaint(index, nullptr, true); });
  pump();
  Timing buffered = perOperation([&] {
    HDC dc = GetDC(window);
    bufferedPaint(index, dc);
    ReleaseDC(window, dc);
  });
  // The message path of an ordinary repaint of the frame: WM_PAINT through the skin's handler.
  Timing repaint =
      perOperation([&] { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN); });
  // The same with the thirteen controls repainting over it (their renderers' share included).
  Timing withControls =
      perOperation([&] { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); });

  WindowRecord& record = *skinEngine().recordAt(index);
  Timing hoverTick = perOperation([&] {
    record.mouseTracked = 1;
    record.fadeTimerRunning = 1;
    record.hoveredCaptionButton = 2;
    record.fadeIn = {2, 3};  // one step of the close button's fade-in
    record.fadeOut = {};
    SendMessageA(window, WM_TIMER, reinterpret_cast<WPARAM>(window), 0);
  });
  record.mouseTracked = 0;
  record.fadeTimerRunning = 0;
  SendMessageA(window, WM_TIMER, reinterpret_cast<WPARAM>(window), 0);

  // A keystroke at the end of a listing: the box takes the character, its change notification
  // reaches the skin, which asks the box to repaint, and the box repaints through its renderer.
  // Characters and backspaces alternate, so the listing stays the same from run to run.
  HWND list = mainForm().control(control::kProxyList);
  std::string listing;
  for (int i = 1; i <= kListingLines; ++i) listing += "10.0.0." + std::to_string(i) + ":8080\r\n";
  SetWindowTextA(list, listing.c_str());
  SendMessageA(list, EM_SETSEL, listing.size(), listing.size());
  pump();
  bool typeCharacter = true;
  Timing keystroke = perOperation([&] {
    SendMessageA(list, WM_CHAR, typeCharacter ? 'x' : VK_BACK, 1);
    typeCharacter = !typeCharacter;
    UpdateWindow(list);
  });
  SetWindowTextA(list, "");
  pump();

  printResult("full_paint", full, plainPaint);
  printResult("buffered_paint", buffered, plainPaint);
  printResult("wm_paint_frame", repaint, plainPaint);
  printResult("wm_paint_with_controls", withControls, plainPaint);
  printResult("hover_tick", hoverTick, plainPaint);
  printResult("edit_keystroke", keystroke, plainPaint);
  DestroyWindow(plain);
  DestroyWindow(window);
  pump();
  shutDown();
  return 0;
}

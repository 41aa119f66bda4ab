#pragma once
// Shared by the render_* test programs (buttons, edit boxes, combo boxes): controls on extra skinned
// windows, the pixels the skin drew, and the colours it should have drawn them in.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "skin/core/engine.h"
#include "skinTesting.h"
#include "support/mainWindowFixture.h"
#include "support/windows.h"

inline constexpr COLORREF kAccent = RGB(34, 202, 221);
inline constexpr COLORREF kRed = RGB(255, 0, 0);

// A child control of the parent with the dialog font, as the toolkit makes them.
inline HWND addControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y, int width,
                       int height, DWORD exStyle = 0, bool withFont = true) {
  HWND control = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
  if (withFont) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

// Test windows sit in the screen's top-left corner, clear of the centred main window, so that
// neither hides the other's pixels.
inline void placeTopLeft(HWND window) {
  SetWindowPos(window, nullptr, 4, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Pixels of the whole window (frames included) or of its client area, as they are on screen.
inline COLORREF windowPixel(HWND window, int x, int y) {
  HDC dc = GetWindowDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}
inline COLORREF clientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

inline void fillRect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}
// Paints over the whole window (frame included), so a test sees what the next paint redraws.
inline void fillWindow(HWND window, COLORREF colour) {
  RECT rect;
  GetWindowRect(window, &rect);
  HDC dc = GetWindowDC(window);
  fillRect(dc, RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top}, colour);
  ReleaseDC(window, dc);
}
inline void fillClient(HWND window, COLORREF colour) {
  RECT rect;
  GetClientRect(window, &rect);
  HDC dc = GetDC(window);
  fillRect(dc, rect, colour);
  ReleaseDC(window, dc);
}

// The client area's pixels, row by row.
inline std::vector<COLORREF> clientPixels(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  HDC dc = GetDC(window);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < rect.bottom; ++y)
    for (int x = 0; x < rect.right; ++x) pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(window, dc);
  return pixels;
}

// One channel of over drawn with alpha on under, as GDI+ composes.
inline int blendChannel(int under, int over, int alpha) {
  return under + (over - under) * alpha / 255;
}
inline COLORREF blend(COLORREF under, COLORREF over, int alpha) {
  return RGB(blendChannel(GetRValue(under), GetRValue(over), alpha),
             blendChannel(GetGValue(under), GetGValue(over), alpha),
             blendChannel(GetBValue(under), GetBValue(over), alpha));
}

inline bool colourNear(COLORREF actual, COLORREF expected, int tolerance = 3) {
  return rgbNear(actual, GetRValue(expected), GetGValue(expected), GetBValue(expected), tolerance);
}

// The painted skin background behind a point of a control's window (x, y in its window
// coordinates), read from its top-level window's background buffer.
inline COLORREF skinBehind(HWND control, int x, int y) {
  HWND top = GetAncestor(control, GA_ROOT);
  RECT own;
  RECT topRect;
  GetWindowRect(control, &own);
  GetWindowRect(top, &topRect);
  return bufferPixel(top, own.left - topRect.left + x, own.top - topRect.top + y);
}

// The skin's whitened background at that point, with the translucency the main window's entry set.
inline COLORREF whitenedBehind(HWND control, int x, int y) {
  return blend(skinBehind(control, x, y), RGB(255, 255, 255), skinEngine().settings().globalTranslucency);
}

inline SIZE windowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Moves the real cursor away from every window under test: what the tests send as mouse messages
// is then all the controls see (leave notifications wait in the queue until pumped).
inline void parkCursor() {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
}

// The main window's controls under the skin, with the real cursor parked; what a case leaves
// queued (leave notifications, repaints) is handled before the next one.
class SkinnedControlsTest : public MainWindowTest {
 protected:
  void SetUp() override { parkCursor(); }
  void TearDown() override { pumpMessages(30); }
};

// The edit field inside a drop-down combo box.
inline HWND editFieldOf(HWND combo) {
  return FindWindowExA(combo, nullptr, "Edit", nullptr);
}

inline ::testing::AssertionResult colourIs(COLORREF actual, COLORREF expected, int tolerance = 3) {
  if (colourNear(actual, expected, tolerance)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "colour RGB(" << int(GetRValue(actual)) << "," << int(GetGValue(actual))
                                       << "," << int(GetBValue(actual)) << ") where RGB(" << int(GetRValue(expected))
                                       << "," << int(GetGValue(expected)) << "," << int(GetBValue(expected))
                                       << ") was expected";
}

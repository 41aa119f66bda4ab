#pragma once
// Shared by the skin_* test programs: the real main window (through the start-up fixture), extra
// top-level windows to skin beside it, and reading the skin's buffers and state.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "gfx/graphics.h"
#include "gfx/image.h"
#include "skin/core/engine.h"
#include "support/mainWindowFixture.h"
#include "support/windows.h"

// A frameless top-level window of a plain class, destroyed with the object.
class TestWindow {
 public:
  explicit TestWindow(DWORD style = WS_POPUP | WS_MINIMIZEBOX, int width = 300, int height = 200) {
    static const char* className = registerClass();
    window_ = CreateWindowExA(0, className, "测试窗口", style, 40, 40, width, height, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

  // Skins the window (as a plain caption-interactive, non-resizable window unless told otherwise)
  // and shows it; returns its record index.
  int skin(SkinWindowArguments arguments = defaultArguments()) {
    skinEngine().skinWindow(window_, arguments);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    pumpMessages(30);
    return findWindowRecord(window_);
  }
  static SkinWindowArguments defaultArguments() {
    SkinWindowArguments arguments;
    arguments.resizable = 0;
    return arguments;
  }

 private:
  static const char* registerClass() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.lpszClassName = "QvSkinTestWindow";
    RegisterClassA(&windowClass);
    return windowClass.lpszClassName;
  }
  HWND window_ = nullptr;
};

inline WindowRecord& recordOf(HWND window) {
  int index = findWindowRecord(window);
  EXPECT_GE(index, 1);
  return *skinEngine().recordAt(index);
}

// A PNG of one solid colour, as a window picture of its own.
inline ByteSet solidPicture(Argb colour, int width = 64, int height = 64) {
  Bitmap bitmap;
  bitmap.Create(width, height);
  {
    Graphics graphics;
    graphics.FromImage(bitmap);
    graphics.Clear(colour);
  }
  return bitmap.SaveToBytes(kPngFormat);
}

inline LPARAM pointParam(int x, int y) {
  return MAKELPARAM(x, y);
}

inline int redOf(COLORREF c) {
  return GetRValue(c);
}
inline int greenOf(COLORREF c) {
  return GetGValue(c);
}
inline int blueOf(COLORREF c) {
  return GetBValue(c);
}

inline bool rgbNear(COLORREF actual, int red, int green, int blue, int tolerance) {
  return std::abs(redOf(actual) - red) <= tolerance && std::abs(greenOf(actual) - green) <= tolerance &&
         std::abs(blueOf(actual) - blue) <= tolerance;
}

// A pixel of the window's background buffer (the painted skin, before it reaches the screen).
inline COLORREF bufferPixel(HWND window, int x, int y) {
  return GetPixel(recordOf(window).backgroundDc, x, y);
}

// The skin keeps no GDI object per paint or per hover fade: the process's GDI object count stays
// flat across a thousand of each on the real main window.
#include <gtest/gtest.h>

#include "skin/frame.h"
#include "skinTesting.h"
#include "support/guiObjects.h"

namespace {

class SkinLeakTest : public MainWindowTest {};

constexpr int kRounds = 1000;
// Room for objects the system makes once on first use (cursors, cached fonts, tooltips).
constexpr DWORD kSlack = 8;

TEST_F(SkinLeakTest, TheCountSeesEveryObjectKept) {
  DWORD before = gdiHandleCount();
  HBRUSH kept[20];
  for (HBRUSH& brush : kept) brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_GE(gdiHandleCount(), before + 20);
  for (HBRUSH brush : kept) DeleteObject(brush);
  EXPECT_EQ(gdiHandleCount(), before);
}

TEST_F(SkinLeakTest, FullPaintsKeepTheGdiObjectCountFlat) {
  fullPaint(1, nullptr, true);
  pumpMessages(50);
  DWORD before = gdiHandleCount();
  ASSERT_GT(before, 0u) << "the count is readable";
  for (int i = 0; i < kRounds; ++i) {
    fullPaint(1, nullptr, true);
    if (i % 50 == 0) pumpMessages(1);
  }
  pumpMessages(50);
  EXPECT_LE(gdiHandleCount(), before + kSlack);
  EXPECT_EQ(skinEngine().backBuffers().count(), 0);
}

TEST_F(SkinLeakTest, HoverFadesKeepTheGdiObjectCountFlat) {
  WindowRecord& record = recordOf(window());
  auto fade = [&] {
    SendMessageA(window(), WM_MOUSEMOVE, 0, pointParam(440, 8));
    SendMessageA(window(), WM_MOUSEHOVER, 0, pointParam(440, 8));
    for (int tick = 0; tick < 8; ++tick) SendMessageA(window(), WM_TIMER, reinterpret_cast<WPARAM>(window()), 0);
    SendMessageA(window(), WM_MOUSEMOVE, 0, pointParam(100, 100));
    for (int tick = 0; tick < 8; ++tick) SendMessageA(window(), WM_TIMER, reinterpret_cast<WPARAM>(window()), 0);
  };
  fade();
  pumpMessages(50);
  DWORD before = gdiHandleCount();
  for (int i = 0; i < kRounds; ++i) {
    fade();
    if (i % 50 == 0) pumpMessages(1);
  }
  pumpMessages(50);
  EXPECT_EQ(record.fadeTimerRunning, 0);
  EXPECT_LE(gdiHandleCount(), before + kSlack);
}

TEST_F(SkinLeakTest, BufferedPaintsAndColourAnswersKeepTheGdiObjectCountFlat) {
  HDC screen = GetDC(nullptr);
  HWND edit = control("编辑框_SL");
  SendMessageA(window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(screen), reinterpret_cast<LPARAM>(edit));
  DWORD before = gdiHandleCount();
  for (int i = 0; i < kRounds; ++i) {
    RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
    SendMessageA(window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(screen), reinterpret_cast<LPARAM>(edit));
  }
  ReleaseDC(nullptr, screen);
  pumpMessages(50);
  EXPECT_LE(gdiHandleCount(), before + kSlack);
}

}  // namespace

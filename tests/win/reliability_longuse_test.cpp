// Long use of the skinned main window: full paints, hover transitions over the caption buttons and
// the controls, keystrokes into the list box, buffered repaints. GDI objects, windows and private
// bytes stay flat; each check prints its start and end figures.
// QUORVELIP_LONGUSE_ROUNDS sets the rounds of every check (scripts/soak runs 10,000); the short
// form runs fewer full paints, which cost a JPEG decode each.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/mainWindow.h"
#include "skin/frame/frame.h"
#include "skinTesting.h"
#include "support/guiObjects.h"
#include "support/memoryWatch.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
// Room for objects the system makes once on first use (cursors, cached fonts, tooltips); the
// checks whose warm-up has already made them allow less.
constexpr DWORD kGdiSlack = 8;
constexpr DWORD kWarmGdiSlack = 2;
// Heap that settles is not a leak; growth that scales with the rounds is.
constexpr size_t kPrivateSlack = 4 * 1024 * 1024;

int rounds(int byDefault) {
  const char* given = std::getenv("QUORVELIP_LONGUSE_ROUNDS");
  int value = given ? std::atoi(given) : 0;
  return value > 0 ? value : byDefault;
}

struct Figures {
  DWORD gdi;
  DWORD user;
  size_t privateBytes;
};

Figures sample() {
  pumpMessages(50);
  return {gdiHandleCount(), userObjectCount(), privateBytes()};
}

// Runs `step` for each round after a warm-up of a few, prints the start and end figures and checks
// that nothing grew.
void expectFlat(const char* what, int count, const std::function<void(int)>& step, DWORD gdiSlack = kGdiSlack) {
  for (int i = 0; i < 20; ++i) step(i);
  Figures before = sample();
  ASSERT_GT(before.gdi, 0u) << "the GDI count is readable";
  ULONGLONG started = GetTickCount64();
  for (int i = 0; i < count; ++i) {
    step(i);
    if (i % 50 == 0) pumpMessages(1);
  }
  ULONGLONG took = GetTickCount64() - started;
  Figures after = sample();
  std::printf("  %d %s in %llu ms: GDI objects %lu -> %lu, USER objects %lu -> %lu, private bytes %.1f -> %.1f MiB\n",
              count, what, took, before.gdi, after.gdi, before.user, after.user, before.privateBytes / kMiB,
              after.privateBytes / kMiB);
  std::fflush(stdout);
  EXPECT_LE(after.gdi, before.gdi + gdiSlack) << what;
  EXPECT_LE(after.user, before.user);
  EXPECT_LT(after.privateBytes, before.privateBytes + kPrivateSlack);
}

class LongUseTest : public MainWindowTest {
 protected:
  void SetUp() override {
    // The real cursor would send hover messages of its own.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
    pumpMessages(20);
  }
  static int record() { return findWindowRecord(window()); }
};

TEST_F(LongUseTest, TheCountsSeeWhatIsKept) {
  DWORD before = gdiHandleCount();
  HBRUSH kept[20];
  for (HBRUSH& brush : kept) brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_GE(gdiHandleCount(), before + 20);
  for (HBRUSH brush : kept) DeleteObject(brush);
  EXPECT_EQ(gdiHandleCount(), before);

  DWORD windows = userObjectCount();
  HWND extra = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_GT(userObjectCount(), windows);
  DestroyWindow(extra);
  EXPECT_EQ(userObjectCount(), windows);
}

TEST_F(LongUseTest, FullPaintsKeepEverythingFlat) {
  ASSERT_GE(record(), 1);
  expectFlat("full paints", rounds(200), [&](int) { fullPaint(record(), nullptr, true); });
  EXPECT_EQ(skinEngine().backBuffers().count(), 0);
}

TEST_F(LongUseTest, HoverTransitionsKeepEverythingFlat) {
  WindowRecord& windowRecord = recordOf(window());
  std::vector<HWND> controls;
  for (const char* name : {control::kSaveButton, control::kExtractButton, control::kProxyList, control::kRegion,
                           control::kQuantity, control::kLeadingPart, control::kPort, control::kCarrier})
    controls.push_back(control(name));
  auto tick = [&] {
    for (int i = 0; i < 8; ++i) SendMessageA(window(), WM_TIMER, reinterpret_cast<WPARAM>(window()), 0);
  };
  // One transition: the mouse enters one thing (a caption button or a control) and leaves it.
  int captionButtons = windowRecord.captionButtons.count();
  int targets = captionButtons + static_cast<int>(controls.size());
  expectFlat(
      "hover transitions", rounds(1000),
      [&](int i) {
        int target = i % targets;
        if (target < captionButtons) {
          const RectF& button = windowRecord.captionButtons[target + 1].rectangle;
          LPARAM over = pointParam(static_cast<int>(button.X + button.Width / 2), static_cast<int>(button.Y + 4));
          SendMessageA(window(), WM_MOUSEMOVE, 0, over);
          SendMessageA(window(), WM_MOUSEHOVER, 0, over);
          tick();
          SendMessageA(window(), WM_MOUSEMOVE, 0, pointParam(100, 100));
          tick();
        } else {
          HWND each = controls[static_cast<size_t>(target - captionButtons)];
          SendMessageA(each, WM_MOUSEMOVE, 0, pointParam(3, 3));
          SendMessageA(each, WM_MOUSELEAVE, 0, 0);
        }
      },
      kWarmGdiSlack);
  EXPECT_EQ(windowRecord.fadeTimerRunning, 0);
}

TEST_F(LongUseTest, KeystrokesKeepEverythingFlat) {
  HWND list = control(control::kProxyList);
  SetFocus(list);
  int typed = 0;
  auto press = [&](int i) {
    char key = i % 40 == 39 ? '\r' : static_cast<char>('a' + i % 26);
    SendMessageA(list, WM_KEYDOWN, static_cast<WPARAM>(VkKeyScanA(key) & 0xFF), 0);
    SendMessageA(list, WM_CHAR, static_cast<WPARAM>(key), 0);
    SendMessageA(list, WM_KEYUP, static_cast<WPARAM>(VkKeyScanA(key) & 0xFF), 0);
    UpdateWindow(list);
    // Cleared now and then: what is checked is what the skin keeps, not the text typed.
    if (++typed == 2000) {
      SetWindowTextA(list, "");
      typed = 0;
    }
  };
  // The system makes a few objects once, for good, when a box first scrolls (a plain edit box does
  // too); typing past that first leaves only what typing keeps to be counted.
  for (int i = 0; i < 1000 && SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0) == 0; ++i) press(i);
  ASSERT_GT(SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "the warm-up scrolls the box";
  expectFlat("keystrokes", rounds(1000), press, kWarmGdiSlack);
  EXPECT_GT(GetWindowTextLengthA(list), 0);
  SetWindowTextA(list, "");
}

TEST_F(LongUseTest, BufferedRepaintsAndColourAnswersKeepEverythingFlat) {
  HDC screen = GetDC(nullptr);
  HWND edit = control(control::kPort);
  expectFlat("buffered repaints", rounds(1000), [&](int) {
    RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
    SendMessageA(window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(screen), reinterpret_cast<LPARAM>(edit));
  });
  ReleaseDC(nullptr, screen);
}

}  // namespace

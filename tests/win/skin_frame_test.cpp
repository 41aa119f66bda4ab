// The window frame: the caption buttons' strip, layout and hit test, the painted background and
// border in the buffer, the hover fade and the caption buttons' actions.
#include <gtest/gtest.h>

#include <initializer_list>

#include "skin/frame/captionButtons.h"
#include "skin/frame/frame.h"
#include "skinTesting.h"

namespace {

class SkinFrameTest : public MainWindowTest {
 protected:
  static WindowRecord& mainRecord() { return recordOf(window()); }
};

// A skinned window with a grey picture of its own, so pixels have known colours.
class GreyWindow {
 public:
  static constexpr Argb kGrey = 0xFF808080;
  explicit GreyWindow(DWORD style = WS_POPUP | WS_MINIMIZEBOX) : window_(style) {
    SkinWindowArguments arguments = TestWindow::defaultArguments();
    arguments.windowPicture = solidPicture(kGrey);
    arguments.windowBackgroundMode = kBackgroundStretched;
    index_ = window_.skin(arguments);
    fullPaint(index_, nullptr, true);
  }
  HWND get() const { return window_.get(); }
  int index() const { return index_; }
  WindowRecord& record() const { return recordOf(window_.get()); }
  COLORREF pixel(int x, int y) const { return bufferPixel(window_.get(), x, y); }
  // Moves the pointer onto a caption button as the system would report it.
  void hover(int button) {
    const RectF& r = record().captionButtons[button].rectangle;
    LPARAM at = pointParam(static_cast<int>(r.X) + 5, static_cast<int>(r.Y) + 5);
    SendMessageA(get(), WM_MOUSEMOVE, 0, at);
    SendMessageA(get(), WM_MOUSEHOVER, 0, at);
  }
  void tick(int times = 1) {
    for (int i = 0; i < times; ++i) SendMessageA(get(), WM_TIMER, reinterpret_cast<WPARAM>(get()), 0);
  }
  // A point in the upper part of a caption button, where the hover colour is strongest.
  POINT inButton(int button) const {
    const RectF& r = record().captionButtons[button].rectangle;
    return POINT{static_cast<int>(r.X) + 3, static_cast<int>(r.Y) + 2};
  }

 private:
  TestWindow window_;
  int index_ = 0;
};

// ---- Caption buttons: strip, layout, hit test ----

TEST_F(SkinFrameTest, TheMainWindowHasMinimiseAndCloseAtTheRightEdge) {
  WindowRecord& record = mainRecord();
  ASSERT_EQ(record.captionButtons.count(), 2);
  EXPECT_EQ(record.captionButtons[1].kind, kCaptionMinimise);
  EXPECT_EQ(record.captionButtons[1].name, "最小化");
  EXPECT_EQ(record.captionButtons[2].kind, kCaptionClose);
  EXPECT_EQ(record.captionButtons[2].name, "关闭");
  EXPECT_EQ(record.stripWidth, 26 + 38 + 1 + 3);
  EXPECT_EQ(record.stripHeight, 22);
  EXPECT_EQ(record.stripLeft, 467 - 68 + 1);
  const RectF& minimise = record.captionButtons[1].rectangle;
  const RectF& close = record.captionButtons[2].rectangle;
  EXPECT_EQ(minimise.X, 402);
  EXPECT_EQ(minimise.Y, 1);
  EXPECT_EQ(minimise.Width, 26);
  EXPECT_EQ(minimise.Height, 18);
  EXPECT_EQ(close.X, 402 + 27);
  EXPECT_EQ(close.Width, 40) << "wider than its 38-pixel image";
}

TEST_F(SkinFrameTest, TheStripHoldsOnlyTheButtonsTheStyleAllows) {
  TestWindow closeOnly(WS_POPUP, 300, 200);
  closeOnly.skin();
  WindowRecord& only = recordOf(closeOnly.get());
  ASSERT_EQ(only.captionButtons.count(), 1);
  EXPECT_EQ(only.stripWidth, 38 + 0 + 3);
  EXPECT_EQ(only.stripLeft, 300 - 41 + 1);

  TestWindow all(WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 300, 200);
  all.skin();
  WindowRecord& three = recordOf(all.get());
  ASSERT_EQ(three.captionButtons.count(), 3);
  EXPECT_EQ(three.captionButtons[2].kind, kCaptionMaximise);
  EXPECT_EQ(three.captionButtons[2].name, "最大化");
  EXPECT_FALSE(three.captionButtons[2].secondImage.empty());
  EXPECT_EQ(three.stripWidth, 26 + 26 + 38 + 2 + 3);
  EXPECT_EQ(three.captionButtons[3].rectangle.X, three.stripLeft + 2 + 54);
}

TEST_F(SkinFrameTest, HitTestingFindsTheButtonUnderThePoint) {
  WindowRecord& record = mainRecord();
  EXPECT_EQ(hitTestCaptionButtons(record, 402, 1), 1);
  EXPECT_EQ(hitTestCaptionButtons(record, 427, 18), 1);
  EXPECT_EQ(hitTestCaptionButtons(record, 428, 10), 0) << "the gap between the buttons";
  EXPECT_EQ(hitTestCaptionButtons(record, 429, 10), 2);
  EXPECT_EQ(hitTestCaptionButtons(record, 466, 10), 2);
  EXPECT_EQ(hitTestCaptionButtons(record, 401, 10), 0) << "in the strip, before the first button";
  EXPECT_EQ(hitTestCaptionButtons(record, 300, 10), 0);
  EXPECT_EQ(hitTestCaptionButtons(record, 410, 23), 0) << "below the strip";
}

TEST_F(SkinFrameTest, CaptionToolTipsCoverTheButtonsWithTheirNames) {
  WindowRecord& record = mainRecord();
  HWND tips = record.captionToolTips.window();
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
  char text[80] = {};
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window();
  tool.uId = 2;
  tool.lpszText = text;
  ASSERT_TRUE(SendMessageA(tips, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_EQ(tool.rect.left, 429);
  EXPECT_EQ(tool.rect.right, 469);
  SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "关闭");
}

// ---- The painted frame ----

TEST_F(SkinFrameTest, TheBufferIsMagentaOutsideTheRoundedClipAndThePhotoInside) {
  fullPaint(1, nullptr, false);
  const COLORREF magenta = RGB(255, 0, 255);
  EXPECT_EQ(bufferPixel(window(), 0, 0), magenta);
  EXPECT_EQ(bufferPixel(window(), 466, 0), magenta);
  EXPECT_EQ(bufferPixel(window(), 0, 291), magenta);
  // Inside: the photograph, neither magenta nor the flat base fill, and not one flat colour.
  COLORREF base = skinEngine().settings().skinBaseColour;
  COLORREF sky = bufferPixel(window(), 150, 120);
  COLORREF hills = bufferPixel(window(), 150, 280);
  EXPECT_NE(sky, magenta);
  EXPECT_NE(sky, base);
  EXPECT_NE(sky, hills);
}

TEST_F(SkinFrameTest, AWindowPictureIsStretchedOverTheClientArea) {
  GreyWindow grey;
  EXPECT_TRUE(rgbNear(grey.pixel(150, 100), 0x80, 0x80, 0x80, 2));
  EXPECT_TRUE(rgbNear(grey.pixel(290, 190), 0x80, 0x80, 0x80, 2)) << "stretched to the far corner";
  EXPECT_EQ(grey.record().windowBaseColour, RGB(0x80, 0x80, 0x80));
}

TEST_F(SkinFrameTest, TheBorderIsADarkOuterAndALightInnerLine) {
  GreyWindow grey;
  // Black at alpha 180 over grey 128, then white at alpha 180 one pixel inside.
  const int dark = 128 * 75 / 255;
  const int light = 255 - (255 - 128) * 75 / 255;
  EXPECT_TRUE(rgbNear(grey.pixel(0, 100), dark, dark, dark, 6)) << std::hex << grey.pixel(0, 100);
  EXPECT_TRUE(rgbNear(grey.pixel(1, 100), light, light, light, 6)) << std::hex << grey.pixel(1, 100);
  EXPECT_TRUE(rgbNear(grey.pixel(150, 199), dark, dark, dark, 6)) << std::hex << grey.pixel(150, 199);
  EXPECT_TRUE(rgbNear(grey.pixel(150, 198), light, light, light, 6)) << std::hex << grey.pixel(150, 198);
  EXPECT_TRUE(rgbNear(grey.pixel(150, 100), 128, 128, 128, 2));
}

// The title's face: white pixels in the caption after the icon.
int titleFacePixels(const GreyWindow& grey) {
  int white = 0;
  for (int y = 0; y < 25; ++y)
    for (int x = 26; x < 200; ++x)
      if (rgbNear(grey.pixel(x, y), 255, 255, 255, 10)) ++white;
  return white;
}

TEST_F(SkinFrameTest, TheTitleIsDrawnInWhiteAfterTheIconAndFollowsNewTexts) {
  GreyWindow grey;
  EXPECT_GT(titleFacePixels(grey), 20) << "the title's face";
  int iconPixels = 0;
  for (int y = 4; y < 21; ++y)
    for (int x = 6; x < 23; ++x)
      if (!rgbNear(grey.pixel(x, y), 128, 128, 128, 12)) ++iconPixels;
  EXPECT_GT(iconPixels, 50);

  // A new title replaces the old one rather than drawing over it; a null text is the empty title.
  for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(empty ? "empty text" : "null text");
    SetWindowTextA(grey.get(), "新标题");
    EXPECT_GT(titleFacePixels(grey), 20);
    SetWindowTextA(grey.get(), empty);
    EXPECT_EQ(titleFacePixels(grey), 0) << "an empty title leaves no face pixels";
  }
}

// ---- Hover fade ----

TEST_F(SkinFrameTest, TheCloseButtonFadesInToRedOverEightTicks) {
  GreyWindow grey;
  const int close = 2;
  POINT at = grey.inButton(close);
  COLORREF plain = grey.pixel(at.x, at.y);
  grey.hover(close);
  EXPECT_EQ(grey.record().hoveredCaptionButton, close);
  EXPECT_EQ(grey.record().fadeIn.button, close);
  EXPECT_EQ(grey.record().fadeTimerRunning, 1);
  int lastRed = redOf(plain);
  for (int step = 1; step <= 8; ++step) {
    grey.tick();
    EXPECT_EQ(grey.record().fadeIn.step, step);
    COLORREF now = grey.pixel(at.x, at.y);
    EXPECT_GT(redOf(now), lastRed) << "step " << step;
    lastRed = redOf(now);
  }
  COLORREF full = grey.pixel(at.x, at.y);
  EXPECT_GT(redOf(full), greenOf(full) + 80) << std::hex << full;
  EXPECT_GT(redOf(full), blueOf(full) + 80);
  grey.tick();
  EXPECT_EQ(grey.record().fadeIn.step, 8) << "the fade-in stops at 240";
  EXPECT_EQ(grey.pixel(at.x, at.y), full);

  // Leaving starts the fade-out from 210.
  SendMessageA(grey.get(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(grey.record().hoveredCaptionButton, 0);
  EXPECT_EQ(grey.record().fadeOut.button, close);
  grey.tick();
  COLORREF fading = grey.pixel(at.x, at.y);
  EXPECT_LT(redOf(fading), redOf(full));
  EXPECT_GT(redOf(fading), redOf(plain));
  grey.tick(7);
  EXPECT_EQ(grey.pixel(at.x, at.y), plain) << "back to the plain button";
  EXPECT_EQ(grey.record().fadeTimerRunning, 0) << "the timer stops itself";
  EXPECT_EQ(grey.record().fadeOut.button, 0);
}

TEST_F(SkinFrameTest, OtherButtonsFadeInTheAccentColour) {
  GreyWindow grey;
  POINT at = grey.inButton(1);
  grey.hover(1);
  grey.tick(8);
  COLORREF full = grey.pixel(at.x, at.y);
  // The accent, RGB(34, 202, 221): more green and blue than red.
  EXPECT_GT(greenOf(full), redOf(full) + 40) << std::hex << full;
  EXPECT_GT(blueOf(full), redOf(full) + 40);
}

TEST_F(SkinFrameTest, MovingToAnotherButtonFadesTheFirstOutAndTheSecondIn) {
  GreyWindow grey;
  grey.hover(1);
  grey.tick(3);
  grey.hover(2);
  EXPECT_EQ(grey.record().fadeOut.button, 1);
  EXPECT_EQ(grey.record().fadeOut.step, 0);
  EXPECT_EQ(grey.record().fadeIn.button, 2);
  EXPECT_EQ(grey.record().fadeIn.step, 0);
  // Leaving the strip marks the timer to stop once the fade-out is done.
  SendMessageA(grey.get(), WM_MOUSEMOVE, 0, pointParam(100, 100));
  EXPECT_EQ(grey.record().hoveredCaptionButton, 0);
  EXPECT_EQ(grey.record().fadeOut.button, 2);
  EXPECT_EQ(grey.record().fadeTimerRunning, 0);
  grey.tick(8);
  EXPECT_EQ(grey.record().fadeOut.button, 0);
}

// ---- Pressing and actions ----

TEST_F(SkinFrameTest, APressDrawsTheButtonPressedAndTheReleaseRunsItsAction) {
  GreyWindow grey;
  POINT at = grey.inButton(1);
  COLORREF plain = grey.pixel(at.x, at.y);
  LPARAM onMinimise = pointParam(at.x, at.y);
  SendMessageA(grey.get(), WM_MOUSEMOVE, 0, onMinimise);
  SendMessageA(grey.get(), WM_LBUTTONDOWN, MK_LBUTTON, onMinimise);
  EXPECT_EQ(skinEngine().currentCaptionHit(), 1);
  EXPECT_LT(redOf(grey.pixel(at.x, at.y)), redOf(plain)) << "pressed buttons darken";
  SendMessageA(grey.get(), WM_LBUTTONUP, 0, onMinimise);
  EXPECT_EQ(grey.record().minimised, 1);
  EXPECT_TRUE(IsIconic(grey.get()));
}

TEST_F(SkinFrameTest, ReleasingAfterMovingOffTheButtonRunsNothing) {
  GreyWindow grey;
  POINT at = grey.inButton(1);
  SendMessageA(grey.get(), WM_LBUTTONDOWN, MK_LBUTTON, pointParam(at.x, at.y));
  SendMessageA(grey.get(), WM_MOUSEMOVE, MK_LBUTTON, pointParam(150, 100));
  SendMessageA(grey.get(), WM_LBUTTONUP, 0, pointParam(150, 100));
  EXPECT_FALSE(IsIconic(grey.get()));
  EXPECT_EQ(grey.record().minimised, 0);
}

TEST_F(SkinFrameTest, TheCloseButtonClosesTheWindowAndTearsItsRecordDown) {
  GreyWindow grey;
  int count = skinEngine().windowRecords().count();
  POINT at = grey.inButton(2);
  SendMessageA(grey.get(), WM_LBUTTONDOWN, MK_LBUTTON, pointParam(at.x, at.y));
  SendMessageA(grey.get(), WM_LBUTTONUP, 0, pointParam(at.x, at.y));
  EXPECT_FALSE(IsWindow(grey.get()));
  EXPECT_EQ(skinEngine().windowRecords().count(), count - 1);
}

TEST_F(SkinFrameTest, TheMaximiseButtonTogglesMaximisedAndItsImage) {
  GreyWindow grey(WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  WindowRecord& record = grey.record();
  ASSERT_EQ(record.captionButtons[2].kind, kCaptionMaximise);
  skinEngine().runCaptionAction(grey.index(), 2);
  EXPECT_EQ(record.maximised, 1);
  EXPECT_TRUE(IsZoomed(grey.get()));
  skinEngine().runCaptionAction(grey.index(), 2);
  EXPECT_EQ(record.maximised, 0);
  EXPECT_FALSE(IsZoomed(grey.get()));
}

TEST_F(SkinFrameTest, ADoubleClickInTheCaptionMaximisesOnlyResizableWindows) {
  GreyWindow fixed(WS_POPUP | WS_MAXIMIZEBOX);
  SendMessageA(fixed.get(), WM_LBUTTONDBLCLK, 0, pointParam(100, 10));
  EXPECT_EQ(fixed.record().maximised, 0);

  TestWindow resizable(WS_POPUP | WS_MAXIMIZEBOX);
  SkinWindowArguments arguments;  // resizable by default
  resizable.skin(arguments);
  SendMessageA(resizable.get(), WM_LBUTTONDBLCLK, 0, pointParam(100, 30));
  EXPECT_EQ(recordOf(resizable.get()).maximised, 0) << "below the caption";
  SendMessageA(resizable.get(), WM_LBUTTONDBLCLK, 0, pointParam(100, 10));
  EXPECT_EQ(recordOf(resizable.get()).maximised, 1);
}

// ---- Moving and resizing by mouse ----

// What the skin asked of the system at a press: recorded by the window's own procedure, not run,
// so that no modal move or size loop starts.
constexpr WPARAM kNothing = 0;
constexpr WPARAM kDrag = 1;  // WM_NCLBUTTONDOWN with HTCAPTION
WPARAM requested = kNothing;

LRESULT CALLBACK recordRequests(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE) {
    requested = wParam;
    return 0;
  }
  if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
    requested = kDrag;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HCURSOR systemCursor(WORD id) {
  return LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
}

// A 300 x 200 skinned window (caption 25, only the close button) whose procedure records requests.
class RequestWindow {
 public:
  explicit RequestWindow(int resizable) {
    SetWindowLongPtrA(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordRequests));
    SkinWindowArguments arguments = TestWindow::defaultArguments();
    arguments.resizable = resizable;
    window_.skin(arguments);
  }
  // The cursor that a move to the point leaves, starting from the arrow.
  HCURSOR cursorAfterMoveTo(POINT at) {
    SetCursor(systemCursor(32512));
    SendMessageA(window_.get(), WM_MOUSEMOVE, 0, pointParam(at.x, at.y));
    return GetCursor();
  }
  WPARAM requestAfterPressAt(POINT at) {
    requested = kNothing;
    recordOf(window_.get()).fullRepaintNeeded = 0;
    SendMessageA(window_.get(), WM_LBUTTONDOWN, MK_LBUTTON, pointParam(at.x, at.y));
    if (requested > kDrag) {
      EXPECT_EQ(recordOf(window_.get()).fullRepaintNeeded, 1) << "a resize repaints all";
    }
    return requested;
  }

 private:
  TestWindow window_{WS_POPUP, 300, 200};
};

struct PointerCase {
  POINT at;
  WORD cursor;  // the system cursor's id after a move there
  WPARAM press;
};

void expectPointerCases(int resizable, std::initializer_list<PointerCase> cases) {
  RequestWindow window(resizable);
  for (const PointerCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "at " << c.at.x << "," << c.at.y);
    EXPECT_EQ(window.cursorAfterMoveTo(c.at), systemCursor(c.cursor));
    EXPECT_EQ(window.requestAfterPressAt(c.at), c.press);
  }
}

TEST_F(SkinFrameTest, AResizableWindowSizesFromThreePixelEdgesAndTenPixelCorners) {
  expectPointerCases(1, {
                            {{3, 100}, 32644, 0xF001},
                            {{4, 100}, 32512, kNothing},
                            {{297, 100}, 32644, 0xF002},
                            {{296, 100}, 32512, kNothing},
                            {{150, 3}, 32645, 0xF003},
                            {{150, 4}, 32512, kDrag},
                            {{150, 197}, 32645, 0xF006},
                            {{150, 196}, 32512, kNothing},
                            {{10, 10}, 32642, 0xF004},
                            {{11, 11}, 32512, kDrag},
                            {{10, 190}, 32643, 0xF007},
                            {{290, 190}, 32642, 0xF008},
                            {{289, 189}, 32512, kNothing},
                            // The top-right corner lies under the caption buttons: a press there is theirs.
                            {{290, 10}, 32643, kNothing},
                        });
}

TEST_F(SkinFrameTest, AFixedSizeWindowKeepsTheArrowDragsByTheCaptionAndSizesBelowIt) {
  expectPointerCases(0, {{{3, 100}, 32512, 0xF001},
                         {{150, 3}, 32512, kDrag},
                         {{10, 10}, 32512, kDrag},
                         {{10, 190}, 32512, 0xF007},
                         {{150, 100}, 32512, kNothing}});
}

int heightOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

// The taskbar the skin finds: the system's when it has a height (Wine's hidden tray has none),
// else a hidden one of the test's own, 30 pixels high along the bottom edge, in front of it.
class Taskbar {
 public:
  Taskbar() {
    if (heightOf(FindWindowA("Shell_TrayWnd", nullptr)) > 0) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&windowClass);
    own_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Shell_TrayWnd", "", WS_POPUP, 0,
                           GetSystemMetrics(SM_CYSCREEN) - 30, GetSystemMetrics(SM_CXSCREEN), 30, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }
  Taskbar(const Taskbar&) = delete;
  Taskbar& operator=(const Taskbar&) = delete;
  ~Taskbar() {
    if (own_) DestroyWindow(own_);
  }
  int height() const { return heightOf(FindWindowA("Shell_TrayWnd", nullptr)); }

 private:
  HWND own_ = nullptr;
};

TEST_F(SkinFrameTest, AWindowMaximisedOverTheTaskbarIsShrunkToLeaveItVisible) {
  Taskbar taskbar;
  ASSERT_GT(taskbar.height(), 0);
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  TestWindow maximisable(WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  TestWindow fixed(WS_POPUP | WS_MINIMIZEBOX);
  for (TestWindow* window : {&maximisable, &fixed}) {
    window->skin();
    SetWindowPos(window->get(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT rect;
  GetWindowRect(maximisable.get(), &rect);
  EXPECT_EQ(rect.right - rect.left, width);
  EXPECT_EQ(rect.bottom - rect.top, height - taskbar.height());
  EXPECT_EQ(recordOf(maximisable.get()).maximised, 1);
  GetWindowRect(fixed.get(), &rect);
  EXPECT_EQ(rect.bottom - rect.top, height) << "a window without the maximise box is left as placed";
  EXPECT_EQ(recordOf(fixed.get()).maximised, 0);
}

// ---- Shape ----

TEST_F(SkinFrameTest, TheWindowIsRoundedByItsRegion) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(window(), region), ERROR);
  RECT box;
  GetRgnBox(region, &box);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_GE(box.right, 467);
  EXPECT_GE(box.bottom, 292);
  EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the corner is cut";
  EXPECT_TRUE(PtInRegion(region, 233, 0));
  EXPECT_TRUE(PtInRegion(region, 0, 146));
  DeleteObject(region);
}

}  // namespace

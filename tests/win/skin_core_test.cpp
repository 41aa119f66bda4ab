// The skin core on the real main window: its record and properties, the record lookups, the
// message handler's rows (sizes, system commands, timers, teardown), the control options, back
// buffers and the drawing routines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "draw/colour.h"
#include "draw/paths.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "resources/pictures.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/properties.h"
#include "skin/frame/background.h"
#include "skin/frame/frame.h"
#include "skinTesting.h"
#include "support/childProcess.h"

namespace {

class SkinCoreTest : public MainWindowTest {
 protected:
  static SkinEngine& engine() { return skinEngine(); }
  static WindowRecord& mainRecord() { return recordOf(window()); }
};

// ---- Record and properties ----

TEST_F(SkinCoreTest, TheMainWindowIsRecordOneAndCarriesItsProperties) {
  ASSERT_EQ(findWindowRecord(window()), 1);
  EXPECT_EQ(getProperty(window(), "Hw_lbID"), 1);
  WindowRecord& record = mainRecord();
  EXPECT_EQ(record.window, window());
  EXPECT_NE(record.savedProcedure, nullptr);
  EXPECT_EQ(getProperty(window(), "Hw_hProc"), reinterpret_cast<LONG_PTR>(record.savedProcedure));
  EXPECT_EQ(GetWindowLongPtrA(window(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SkinEngine::messageHandlerStub));
  EXPECT_EQ(record.skinned, 1);
  EXPECT_TRUE(GetWindowLongA(window(), GWL_STYLE) & WS_SYSMENU);
}

TEST_F(SkinCoreTest, TheBackgroundBufferKeepsItsFirstAndOwnBitmapInProperties) {
  WindowRecord& record = mainRecord();
  ASSERT_NE(record.backgroundDc, nullptr);
  auto own = reinterpret_cast<HGDIOBJ>(getProperty(window(), "Ck_wtjbdx"));
  auto first = reinterpret_cast<HGDIOBJ>(getProperty(window(), "Ck_Ycjdx"));
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(GetCurrentObject(record.backgroundDc, OBJ_BITMAP), own);
  BITMAP bitmap{};
  ASSERT_EQ(GetObjectA(own, sizeof bitmap, &bitmap), static_cast<int>(sizeof bitmap));
  EXPECT_EQ(bitmap.bmWidth, 467);
  EXPECT_EQ(bitmap.bmHeight, 292);
  EXPECT_EQ(bitmap.bmBitsPixel, 32);

  // A full paint replaces the own bitmap and keeps the first.
  fullPaint(1, nullptr, false);
  EXPECT_NE(getProperty(window(), "Ck_wtjbdx"), reinterpret_cast<LONG_PTR>(own));
  EXPECT_EQ(getProperty(window(), "Ck_Ycjdx"), reinterpret_cast<LONG_PTR>(first));
}

TEST_F(SkinCoreTest, TheMainWindowRecordFollowsTheSkinEntry) {
  WindowRecord& record = mainRecord();
  EXPECT_EQ(record.captionHeight, 25);
  EXPECT_EQ(record.minimiseBox, 1);
  EXPECT_EQ(record.maximiseBox, 0);
  EXPECT_EQ(record.closeButton, 1);
  EXPECT_EQ(record.resizable, 0);
  EXPECT_EQ(record.captionInteractive, 1);
  EXPECT_EQ(record.titleDrawn, 1);
  EXPECT_EQ(record.minimumTrackSize.x, 200);
  EXPECT_EQ(record.minimumTrackSize.y, 150);
  EXPECT_EQ(record.maximumTrackSize.x, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(record.titleColour, 0xFFFFFFu);
  EXPECT_EQ(record.secondTitleColour, 0x808080u);
  EXPECT_EQ(record.titleFont, "宋体");
  // Every control list starts with its one record (filled or not by the renderers).
  EXPECT_GE(record.controls->buttons.count(), 1);
  EXPECT_GE(record.controls->edits.count(), 1);
  EXPECT_GE(record.controls->transparents.count(), 1);
  EXPECT_GE(record.controls->containers.count(), 1);

  const SkinSettings& settings = engine().settings();
  EXPECT_EQ(settings.globalTranslucency, 50);
  EXPECT_EQ(settings.translucencyGiven, 1);
  EXPECT_EQ(settings.skinEnabled, 1);
  EXPECT_EQ(settings.backgroundMode, kBackgroundStretched);
  EXPECT_EQ(settings.backgroundPicture, qv_picture_background.toByteSet()) << "mode 3 keeps the JPEG's bytes";
  EXPECT_EQ(engine().borderInset(), 3);
}

TEST_F(SkinCoreTest, TheBaseColourIsTheMeanOfThePhotograph) {
  // The photograph is a dusk landscape: dark and bluish, never the button face.
  COLORREF base = engine().settings().skinBaseColour;
  EXPECT_NE(base, GetSysColor(COLOR_BTNFACE));
  EXPECT_LT(GetRValue(base) + GetGValue(base) + GetBValue(base), 3 * 160);
  // A solid picture's base colour is its colour.
  EXPECT_EQ(baseColourOfPicture(solidPicture(0xFF336699)), RGB(0x33, 0x66, 0x99));
  EXPECT_EQ(baseColourOfPicture(ByteSet{1, 2, 3}), GetSysColor(COLOR_BTNFACE));
}

TEST_F(SkinCoreTest, RecordsAreFoundByWindowAndByAncestor) {
  HWND edit = control("编辑框_SL");
  EXPECT_EQ(findWindowRecord(edit), 0);
  EXPECT_EQ(findOwningRecord(edit), 1);
  HWND comboEdit = FindWindowExA(control("组合框1"), nullptr, "Edit", nullptr);
  ASSERT_NE(comboEdit, nullptr);
  EXPECT_EQ(findOwningRecord(comboEdit), 1);
  TestWindow foreign;
  EXPECT_EQ(findOwningRecord(foreign.get()), 0);
  EXPECT_EQ(engine().recordAt(0), nullptr);
  EXPECT_EQ(engine().recordAt(engine().windowRecords().count() + 1), nullptr);
}

TEST_F(SkinCoreTest, PropertiesReadZeroWhenAbsentAndHoldPointerSizedValues) {
  TestWindow plain;
  EXPECT_EQ(getProperty(plain.get(), "Kj_Ztys"), 0);
  auto wide = static_cast<LONG_PTR>(reinterpret_cast<INT_PTR>(&plain));
  setProperty(plain.get(), "Kj_dxjb", wide);
  EXPECT_EQ(getProperty(plain.get(), "Kj_dxjb"), wide);
  removeProperty(plain.get(), "Kj_dxjb");
  EXPECT_EQ(getProperty(plain.get(), "Kj_dxjb"), 0);
}

// ---- Skin a window ----

TEST_F(SkinCoreTest, CaptionHeightsBelow25Become25) {
  const int asked[] = {0, 24, 25, 40};
  const int expected[] = {25, 25, 25, 40};
  for (int i = 0; i < 4; ++i) {
    TestWindow extra;
    SkinWindowArguments arguments = TestWindow::defaultArguments();
    arguments.captionHeight = asked[i];
    extra.skin(arguments);
    EXPECT_EQ(recordOf(extra.get()).captionHeight, expected[i]) << "asked " << asked[i];
  }
}

TEST_F(SkinCoreTest, SkinningTwiceChangesNothing) {
  TestWindow extra;
  int index = extra.skin();
  int count = engine().windowRecords().count();
  LONG_PTR procedure = getProperty(extra.get(), "Hw_hProc");
  skinEngine().skinWindow(extra.get(), TestWindow::defaultArguments());
  EXPECT_EQ(engine().windowRecords().count(), count);
  EXPECT_EQ(findWindowRecord(extra.get()), index);
  EXPECT_EQ(getProperty(extra.get(), "Hw_hProc"), procedure) << "not subclassed a second time";
}

TEST_F(SkinCoreTest, TeardownRemovesTheRecordAndRenumbersTheOnesBehindIt) {
  auto first = std::make_unique<TestWindow>();
  TestWindow second;
  int firstIndex = first->skin();
  int secondIndex = second.skin();
  ASSERT_EQ(secondIndex, firstIndex + 1);
  // A control registered with the second window carries its index too.
  HWND child = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 10, 10, second.get(), nullptr, nullptr, nullptr);
  WindowRecord& secondRecord = recordOf(second.get());
  secondRecord.controls->buttons[1].window = child;
  setProperty(child, "Hw_FuID", secondIndex);
  secondRecord.controls->transparents[1].window = child;
  setProperty(child, "Kj_FuID", secondIndex);
  int count = engine().windowRecords().count();

  first.reset();  // WM_NCDESTROY tears the record down
  EXPECT_EQ(engine().windowRecords().count(), count - 1);
  EXPECT_EQ(findWindowRecord(second.get()), firstIndex);
  EXPECT_EQ(getProperty(second.get(), "Hw_lbID"), firstIndex);
  EXPECT_EQ(getProperty(child, "Hw_FuID"), firstIndex);
  EXPECT_EQ(getProperty(child, "Kj_FuID"), firstIndex);
  EXPECT_EQ(getProperty(window(), "Hw_lbID"), 1) << "records before it keep their index";
}

// In a process of its own, where the two windows are the only records.
QV_CHILD_SCENARIO(tearDownFirstOfTwo) {
  createSkinEngine();
  initialiseModules();
  auto first = std::make_unique<TestWindow>();
  TestWindow second;
  if (first->skin() != 1 || second.skin() != 2) return 2;
  first.reset();
  bool renumbered = skinEngine().windowRecords().count() == 1 && findWindowRecord(second.get()) == 1 &&
                    getProperty(second.get(), "Hw_lbID") == 1;
  return renumbered ? 0 : 1;
}

TEST_F(SkinCoreTest, TearingDownTheFirstOfTwoRecordsMakesTheSecondRecordOne) {
  ChildResult result = runChild("tearDownFirstOfTwo", 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
}

// ---- Sizes ----

TEST_F(SkinCoreTest, OnlyTheFirstSizeMessageLeavesTheSkinningRepaintStanding) {
  WindowRecord& record = mainRecord();
  SkinSettings& settings = engine().settings();
  int flagBefore = settings.firstSizeFlag;
  // As right after skinning: the flag set and a full repaint pending.
  settings.firstSizeFlag = 1;
  record.fullRepaintNeeded = 1;
  record.hoveredCaptionButton = 2;
  SendMessageA(window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(467, 292));
  EXPECT_EQ(record.fullRepaintNeeded, 0);
  EXPECT_EQ(settings.firstSizeFlag, 0);
  EXPECT_EQ(record.hoveredCaptionButton, 0);
  SendMessageA(window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(467, 292));
  EXPECT_EQ(record.fullRepaintNeeded, 1);
  settings.firstSizeFlag = flagBefore;
  pumpMessages(50);
}

TEST_F(SkinCoreTest, TrackingSizesComeFromTheRecord) {
  MINMAXINFO info{};
  SendMessageA(window(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 200);
  EXPECT_EQ(info.ptMinTrackSize.y, 150);
  EXPECT_EQ(info.ptMaxTrackSize.x, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(info.ptMaxTrackSize.y, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(SkinCoreTest, SystemCommandsMarkMaximisedMinimisedAndTheRepaint) {
  TestWindow extra(WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  extra.skin();
  WindowRecord& record = recordOf(extra.get());
  // Past the first WM_SIZE of the run, which would clear the repaint the command asks for.
  int firstSize = std::exchange(engine().settings().firstSizeFlag, 0);
  record.fullRepaintNeeded = 0;
  SendMessageA(extra.get(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(record.minimised, 1);
  EXPECT_EQ(record.fullRepaintNeeded, 1);
  SendMessageA(extra.get(), WM_QUERYOPEN, 0, 0);
  EXPECT_EQ(record.minimised, 0);
  SendMessageA(extra.get(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(record.minimised, 0);
  record.fullRepaintNeeded = 0;
  SendMessageA(extra.get(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_EQ(record.maximised, 1);
  EXPECT_EQ(record.fullRepaintNeeded, 1);
  MINMAXINFO info{};
  SendMessageA(extra.get(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  RECT bar{};
  if (taskbar) GetWindowRect(taskbar, &bar);
  EXPECT_EQ(info.ptMaxTrackSize.y, GetSystemMetrics(SM_CYSCREEN) - (bar.bottom - bar.top));
  engine().settings().firstSizeFlag = firstSize;
}

// ---- Control options ----
// The colour and change messages the handler answers are tested in render_containers, beside the
// containers' identical answers.

TEST_F(SkinCoreTest, ControlOptionsWithoutALevelTakeTheDefaultAndStopTheColourAnswers) {
  engine().setControlOptions(true);
  EXPECT_EQ(engine().settings().translucencyGiven, 0);
  EXPECT_EQ(engine().settings().globalTranslucency, 160);
  EXPECT_EQ(engine().settings().controlOption2, 1);
  HWND edit = control("编辑框_DQ");
  HDC dc = GetDC(edit);
  auto lp = reinterpret_cast<LPARAM>(edit);
  EXPECT_EQ(SendMessageA(window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), lp),
            DefWindowProcA(window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), lp));
  ReleaseDC(edit, dc);
  engine().setControlOptions(true, 50, 7);
  EXPECT_EQ(engine().settings().translucencyGiven, 1);
  EXPECT_EQ(engine().settings().globalTranslucency, 50);
  EXPECT_EQ(engine().settings().controlOption2, 7);
  engine().setControlOptions(true, 50);
  pumpMessages(30);
}

// ---- Timers ----

int timersSeen = 0;
LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) ++timersSeen;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SkinCoreTest, OnlyTheCaptionTimerAdvancesTheFadeAndEveryTimerIsPassedOn) {
  TestWindow extra;
  SetWindowLongPtrA(extra.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&countingProcedure));
  extra.skin();
  WindowRecord& record = recordOf(extra.get());
  record.fadeIn = {1, 0};
  record.mouseTracked = 1;
  record.fadeTimerRunning = 1;
  timersSeen = 0;
  SendMessageA(extra.get(), WM_TIMER, 1234, 0);
  EXPECT_EQ(timersSeen, 1) << "passed on to the saved procedure";
  EXPECT_EQ(record.fadeIn.step, 0);
  SendMessageA(extra.get(), WM_TIMER, reinterpret_cast<WPARAM>(extra.get()), 0);
  EXPECT_EQ(record.fadeIn.step, 1);
  EXPECT_EQ(timersSeen, 2);
}

// ---- Back buffers ----

TEST_F(SkinCoreTest, TheBackBufferTableIsEmptyAfterEveryPaint) {
  RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pumpMessages(50);
  EXPECT_EQ(engine().backBuffers().count(), 0);
  for (const char* name : {"按钮1", "编辑框1", "编辑框_SL", "组合框1"}) {
    RedrawWindow(control(name), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    EXPECT_EQ(engine().backBuffers().count(), 0) << name;
  }
}

TEST_F(SkinCoreTest, BackBuffersHoldTheBackgroundBehindTheControlAndAreReleasedOnce) {
  HWND edit = control("编辑框1");
  RECT rect{2, 3, 12, 13};
  HDC buffer = createBackBuffer(edit, rect);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(engine().backBuffers().count(), 1);
  RECT placed;
  GetWindowRect(edit, &placed);
  MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&placed), 2);
  for (POINT p : {POINT{0, 0}, POINT{9, 9}, POINT{4, 7}})
    EXPECT_EQ(GetPixel(buffer, p.x, p.y),
              bufferPixel(window(), placed.left + rect.left + p.x, placed.top + rect.top + p.y));
  EXPECT_EQ(releaseBackBuffer(buffer), 1);
  EXPECT_EQ(releaseBackBuffer(buffer), 0);
  EXPECT_EQ(engine().backBuffers().count(), 0);
}

TEST_F(SkinCoreTest, TheClientRectangleInWindowCoordinatesReservesScrollBars) {
  HWND list = control("编辑框1");  // client edge and a vertical bar
  RECT inner = clientRectInWindow(list);
  RECT window, client;
  GetWindowRect(list, &window);
  GetClientRect(list, &client);
  EXPECT_EQ(inner.left, (window.right - window.left - client.right - 17) / 2);
  EXPECT_EQ(inner.top, (window.bottom - window.top - client.bottom) / 2);
  EXPECT_EQ(inner.right - inner.left, client.right);
}

// ---- Drawing routines ----

TEST_F(SkinCoreTest, ColourConversionSwapsRedAndBlueAndSetsTheAlpha) {
  EXPECT_EQ(toArgb(RGB(34, 202, 221), 120), 0x7822CADDu);
  EXPECT_EQ(toArgb(RGB(34, 202, 221), 120, false), 0xFF22CADDu);
  EXPECT_EQ(toArgb(RGB(255, 0, 0), 255), 0xFFFF0000u);
  EXPECT_EQ(toArgb(RGB(0, 0, 255), 0), 0x000000FFu);
}

// A white bitmap to draw on and read back.
struct Canvas {
  Bitmap bitmap;
  Graphics graphics;
  Canvas(int width, int height) {
    bitmap.Create(width, height);
    graphics.FromImage(bitmap);
    graphics.Clear(0xFFFFFFFF);
  }
};

// The pixels of a 100 x 100 rounded rectangle with that corner size, filled black.
std::vector<Argb> roundedRectanglePixels(float corner) {
  Canvas canvas(120, 120);
  GraphicsPath path;
  path.Create();
  addRoundedRectangle(path, 10, 10, 100, 100, corner);
  SolidBrush black;
  black.Create(0xFF000000);
  canvas.graphics.FillPath(black, path);
  std::vector<Argb> pixels;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 120; ++x) pixels.push_back(canvas.bitmap.GetPixel(x, y));
  return pixels;
}

TEST_F(SkinCoreTest, CornerSizesAreClampedToOneAndAHundred) {
  std::vector<Argb> one = roundedRectanglePixels(1);
  std::vector<Argb> hundred = roundedRectanglePixels(100);
  EXPECT_EQ(roundedRectanglePixels(0), one);
  EXPECT_EQ(roundedRectanglePixels(-5), one);
  EXPECT_EQ(roundedRectanglePixels(150), hundred);
  EXPECT_NE(roundedRectanglePixels(40), one) << "inside the range the corner shapes the figure";
  EXPECT_NE(roundedRectanglePixels(40), hundred);
}

// Layers of black at alpha 128 on each row of a column across a horizontal line: each layer
// keeps half of what lies under it.
std::vector<int> glowLayers(int rings) {
  Canvas canvas(60, 40);
  GraphicsPath path;
  path.Create();
  // A quarter pixel off the grid, so that a pen of width w covers exactly w rows.
  path.AddLine(5, 20.25f, 55, 20.25f);
  drawGlow(canvas.graphics, path, rings, kBlack, 128);
  std::vector<int> layers;
  for (int y = 10; y < 30; ++y) {
    double kept = static_cast<double>(canvas.bitmap.GetPixel(30, y) & 0xFF) / 255;
    layers.push_back(static_cast<int>(std::lround(std::log(kept) / std::log(127.0 / 255))));
  }
  return layers;
}

TEST_F(SkinCoreTest, AGlowStrokesThePathOnceForEachRingWidenedByOne) {
  for (int rings : {1, 2, 3}) {
    SCOPED_TRACE(rings);
    std::vector<int> layers = glowLayers(rings);
    int total = 0;
    for (int layer : layers) total += layer;
    EXPECT_EQ(total, rings * (rings + 1) / 2) << "rings of width 1, 2, ... rings";
    EXPECT_EQ(*std::max_element(layers.begin(), layers.end()), rings) << "every ring crosses the path";
  }
}
}  // namespace

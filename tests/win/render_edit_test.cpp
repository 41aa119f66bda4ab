// Edit boxes under the skin: registration, the frame that replaces the system border, the
// translucent background over the photograph, and what keys, the mouse and focus redraw.
#include <gtest/gtest.h>

#include "app/mainWindow.h"
#include "renderTesting.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"

namespace {

using EditTest = SkinnedControlsTest;

constexpr COLORREF kWhiteColour = RGB(255, 255, 255);

void redrawWhole(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

bool hasPendingPaint(HWND window) {
  RECT update;
  return GetUpdateRect(window, &update, FALSE) != FALSE;
}

// The frame's colour at the middle of the left edge, for the look the box should have there.
COLORREF expectedEdge(HWND edit, int x, COLORREF over, int alpha) {
  int y = windowSize(edit).cy / 2;
  return blend(whitenedBehind(edit, x, y), over, alpha);
}

TEST_F(EditTest, EveryEditBoxOfTheMainWindowAndTheCarrierFieldAreRegistered) {
  WindowRecord& record = recordOf(window());
  HWND field = editFieldOf(control(control::kCarrier));
  ASSERT_NE(field, nullptr);
  std::vector<HWND> boxes{control(control::kProxyList),   control(control::kRegion), control(control::kQuantity),
                          control(control::kLeadingPart), control(control::kPort),   field};
  EXPECT_EQ(record.controls->edits.count(), 6);
  for (HWND box : boxes) {
    int index = listIndexOf(box);
    ASSERT_GE(index, 1);
    EXPECT_EQ(record.controls->edits[index].window, box);
    EXPECT_EQ(findEditRecord(findWindowRecord(window()), box), index);
    EXPECT_EQ(ownerIndexOf(box), findWindowRecord(window()));
    EXPECT_EQ(procedureOf(box), editProcedure);
    EXPECT_EQ(savedProcedureOf(box), record.controls->edits[index].savedProcedure);
    EXPECT_NE(savedProcedureOf(box), editProcedure);
    EXPECT_EQ(textColourOf(box), 0u);
  }
}

TEST_F(EditTest, TheBackgroundIsThePhotographBehindTheBoxWhitened) {
  for (const char* name : {control::kRegion, control::kProxyList}) {
    SCOPED_TRACE(name);
    HWND box = control(name);
    SetWindowTextA(box, "");
    redrawWhole(box);
    RECT inner = clientRectInWindow(box);
    for (POINT point : {POINT{5, 5}, POINT{40, 8}, POINT{70, 12}}) {
      COLORREF pixel = clientPixel(box, point.x, point.y);
      EXPECT_NE(pixel, kWhiteColour);
      EXPECT_TRUE(colourIs(pixel, whitenedBehind(box, inner.left + point.x, inner.top + point.y)));
    }
  }
}

TEST_F(EditTest, TheFrameIsFaintAndTurnsToTheAccentColourWithFocusOrTheMouse) {
  HWND box = control(control::kQuantity);
  int middle = windowSize(box).cy / 2;
  SetFocus(control(control::kPort));
  redrawWhole(box);
  EXPECT_TRUE(colourIs(windowPixel(box, 0, middle), expectedEdge(box, 0, 0, 80)));
  EXPECT_TRUE(colourIs(windowPixel(box, 1, middle), whitenedBehind(box, 1, middle))) << "no sunken system border";

  SetFocus(box);
  redrawWhole(box);
  EXPECT_TRUE(colourIs(windowPixel(box, 0, middle), expectedEdge(box, 0, kAccent, 180)));
  EXPECT_TRUE(colourIs(windowPixel(box, 1, middle), whitenedBehind(box, 1, middle)));

  SendMessageA(box, WM_MOUSEMOVE, 0, pointParam(3, 3));
  EXPECT_TRUE(colourIs(windowPixel(box, 1, middle), expectedEdge(box, 1, kAccent, 180))) << "two pixels wide";
  EXPECT_EQ(recordOf(window()).hotListKind, kHotEditBoxes);
  EXPECT_EQ(recordOf(window()).hotParent, window());

  SendMessageA(box, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(recordOf(window()).hotControlIndex, 0);
  EXPECT_TRUE(colourIs(windowPixel(box, 1, middle), whitenedBehind(box, 1, middle)));
  EXPECT_TRUE(colourIs(windowPixel(box, 0, middle), expectedEdge(box, 0, kAccent, 180))) << "still focused";
  SetFocus(control(control::kPort));
}

TEST_F(EditTest, ABoxWithAScrollBarKeepsTheSystemScrollBarButNoSystemBorder) {
  HWND list = control(control::kProxyList);
  SetFocus(control(control::kPort));
  fillWindow(list, kRed);
  SendMessageA(list, WM_NCPAINT, 1, 0);
  SIZE size = windowSize(list);
  int middle = size.cy / 2;
  EXPECT_TRUE(colourIs(windowPixel(list, 0, middle), expectedEdge(list, 0, 0, 80)));
  EXPECT_TRUE(colourIs(windowPixel(list, 1, middle), whitenedBehind(list, 1, middle)));
  EXPECT_TRUE(colourIs(windowPixel(list, size.cx - 1, middle), expectedEdge(list, size.cx - 1, 0, 80)));

  SCROLLBARINFO bar{};
  bar.cbSize = sizeof bar;
  ASSERT_TRUE(GetScrollBarInfo(list, OBJID_VSCROLL, &bar));
  RECT own;
  GetWindowRect(list, &own);
  int barX = (bar.rcScrollBar.left + bar.rcScrollBar.right) / 2 - own.left;
  int barY = (bar.rcScrollBar.top + bar.rcScrollBar.bottom) / 2 - own.top;
  EXPECT_NE(windowPixel(list, barX, barY), kRed) << "the system drew its scroll bar";
  EXPECT_EQ(clientPixel(list, 10, 10), kRed) << "the client area is not the frame's";
  redrawWhole(list);
}

TEST_F(EditTest, ABoxWithoutScrollBarsHasOnlyTheSkinsFrame) {
  HWND box = control(control::kRegion);
  fillWindow(box, kRed);
  SendMessageA(box, WM_NCPAINT, 1, 0);
  SIZE size = windowSize(box);
  for (POINT point :
       {POINT{0, size.cy / 2}, POINT{1, size.cy / 2}, POINT{size.cx / 2, 0}, POINT{size.cx / 2, 1},
        POINT{size.cx - 1, size.cy / 2}, POINT{size.cx - 2, size.cy / 2}, POINT{size.cx / 2, size.cy - 2}})
    EXPECT_NE(windowPixel(box, point.x, point.y), kRed) << point.x << "," << point.y;
  EXPECT_TRUE(colourIs(windowPixel(box, size.cx / 2, 1), whitenedBehind(box, size.cx / 2, 1)));
  EXPECT_EQ(clientPixel(box, 10, 5), kRed);
  redrawWhole(box);
}

TEST_F(EditTest, KeysRedrawTheWholeBackgroundOnlyOfBoxesWithoutScrollBars) {
  HWND line = control(control::kPort);
  HWND list = control(control::kProxyList);
  SetWindowTextA(list, "");
  for (HWND box : {line, list}) redrawWhole(box);
  ASSERT_FALSE(hasPendingPaint(line));
  SendMessageA(line, WM_KEYDOWN, VK_HOME, 0);
  RECT update{};
  ASSERT_TRUE(GetUpdateRect(line, &update, FALSE));
  RECT client;
  GetClientRect(line, &client);
  EXPECT_TRUE(EqualRect(&update, &client));

  SendMessageA(list, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_FALSE(hasPendingPaint(list)) << "the scroll bar's box is spared";
  SendMessageA(list, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_TRUE(hasPendingPaint(list)) << "but scrolling redraws it";
}

TEST_F(EditTest, DraggingInABoxWithoutScrollBarsRedrawsItsBackground) {
  HWND box = control(control::kQuantity);
  EditRecord& record = recordOf(window()).controls->edits[listIndexOf(box)];
  SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(5, 5));
  EXPECT_EQ(record.buttonDown, 1);
  UpdateWindow(box);
  SendMessageA(box, WM_MOUSEMOVE, MK_LBUTTON, pointParam(30, 5));
  EXPECT_TRUE(hasPendingPaint(box));
  SendMessageA(box, WM_LBUTTONUP, 0, pointParam(30, 5));
  EXPECT_EQ(record.buttonDown, 0);
  UpdateWindow(box);
  SendMessageA(box, WM_MOUSEMOVE, 0, pointParam(31, 5));
  EXPECT_FALSE(hasPendingPaint(box)) << "plain moves do not";
  SendMessageA(box, WM_MOUSELEAVE, 0, 0);
  SetFocus(control(control::kPort));
}

// Restores the engine's translucency-given flag at the end of the test.
class TranslucencyOff {
 public:
  TranslucencyOff() : saved_(skinEngine().settings().translucencyGiven) {
    skinEngine().settings().translucencyGiven = 0;
  }
  ~TranslucencyOff() { skinEngine().settings().translucencyGiven = saved_; }

 private:
  int saved_;
};

TEST_F(EditTest, WithoutAGivenTranslucencyTheRingIsOpaqueWhiteAndErasingIsTheSystems) {
  HWND box = control(control::kRegion);
  SIZE size = windowSize(box);
  {
    TranslucencyOff off;
    SendMessageA(box, WM_NCPAINT, 1, 0);
    EXPECT_EQ(windowPixel(box, 1, size.cy / 2), kWhiteColour);
    fillClient(box, kRed);
    HDC dc = GetDC(box);
    SendMessageA(box, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(box, dc);
    EXPECT_EQ(clientPixel(box, 10, 5), kRed) << "the system edit erases nothing here";
  }
  fillClient(box, kRed);
  HDC dc = GetDC(box);
  EXPECT_EQ(SendMessageA(box, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ReleaseDC(box, dc);
  RECT inner = clientRectInWindow(box);
  EXPECT_TRUE(colourIs(clientPixel(box, 10, 5), whitenedBehind(box, inner.left + 10, inner.top + 5)));
  redrawWhole(box);
}

TEST_F(EditTest, AnEditBoxDeletesItsBackgroundBrushAndBitmapWhenDestroyed) {
  TestWindow window(WS_POPUP, 200, 100);
  HWND box = addControl(window.get(), "EDIT", "一", ES_AUTOHSCROLL, 4, 4, 80, 22, WS_EX_CLIENTEDGE);
  placeTopLeft(window.get());
  window.skin();
  redrawWhole(box);
  auto brush = getPropertyAs<HGDIOBJ>(box, prop::kColourBrush);
  auto bitmap = getPropertyAs<HGDIOBJ>(box, prop::kBrushBitmap);
  ASSERT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  DestroyWindow(box);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
}

}  // namespace

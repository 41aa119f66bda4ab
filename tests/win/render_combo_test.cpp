// Combo boxes under the skin: registration with their edit field, the keyed copy that leaves the
// children visible, the button of each style, focus and hover. The colour answer for the field is
// tested in render_containers with the other answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mainWindow.h"
#include "renderTesting.h"
#include "skin/controls/combo/combo.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/shared/controlRecords.h"

namespace {

using ComboTest = SkinnedControlsTest;

constexpr COLORREF kGreen = RGB(0, 255, 0);

// The frame's colour in the middle of the combo box's left edge.
COLORREF leftEdge(HWND combo) {
  return windowPixel(combo, 0, windowSize(combo).cy / 2);
}
COLORREF expectedLeftEdge(HWND combo, COLORREF over, int alpha) {
  return blend(whitenedBehind(combo, 0, windowSize(combo).cy / 2), over, alpha);
}

void addItems(HWND combo) {
  for (const char* item : {"全部运营商", "电信", "联通", "移动"})
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

TEST_F(ComboTest, TheCarrierComboBoxAndItsEditFieldAreRegistered) {
  HWND combo = control(control::kCarrier);
  WindowRecord& record = recordOf(window());
  ASSERT_EQ(record.controls->combos.count(), 1);
  EXPECT_EQ(record.controls->combos[1].window, combo);
  EXPECT_EQ(listIndexOf(combo), 1);
  EXPECT_EQ(ownerIndexOf(combo), findWindowRecord(window()));
  EXPECT_EQ(procedureOf(combo), comboProcedure);
  EXPECT_EQ(savedProcedureOf(combo), record.controls->combos[1].savedProcedure);
  EXPECT_NE(savedProcedureOf(combo), comboProcedure);

  HWND field = editFieldOf(combo);
  ASSERT_NE(field, nullptr);
  ASSERT_GE(listIndexOf(field), 1);
  EXPECT_EQ(record.controls->edits[listIndexOf(field)].window, field);
  EXPECT_EQ(procedureOf(field), editProcedure);
}

TEST_F(ComboTest, TheEditFieldShowsThroughTheKeyedCopy) {
  HWND combo = control(control::kCarrier);
  HWND field = editFieldOf(combo);
  SetFocus(control(control::kPort));
  fillWindow(combo, kRed);
  fillClient(field, kGreen);
  SendMessageA(combo, WM_NCPAINT, 1, 0);
  RECT fieldArea = childRectangle(field);
  EXPECT_EQ(windowPixel(combo, fieldArea.left + 2, (fieldArea.top + fieldArea.bottom) / 2), kGreen);
  EXPECT_EQ(windowPixel(combo, fieldArea.right - 1, fieldArea.top + 1), kGreen);
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, 0, 80)));
  EXPECT_TRUE(colourIs(windowPixel(combo, 1, 1), whitenedBehind(combo, 1, 1))) << "no magenta, no system frame";
  repaintNow(combo);
}

// A test window with one combo box of each style with a button, side by side.
struct ComboPair {
  TestWindow window{WS_POPUP, 280, 60};
  HWND list = addControl(window.get(), "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 4, 4, 120, 100);
  HWND dropDown = addControl(window.get(), "COMBOBOX", "", CBS_DROPDOWN | WS_VSCROLL, 140, 4, 120, 100);
};

TEST_F(ComboTest, ADropDownListHasASeventeenPixelButtonAndADropDownAnEighteenPixelOne) {
  ComboPair pair;
  addItems(pair.list);
  placeTopLeft(pair.window.get());
  pair.window.skin();
  for (HWND combo : {pair.list, pair.dropDown}) {
    repaintNow(combo);
    SIZE size = windowSize(combo);
    int buttonLeft = size.cx - (combo == pair.list ? 17 : 18) - 2;
    int middle = size.cy / 2;
    SCOPED_TRACE(buttonLeft);
    EXPECT_TRUE(
        colourIs(windowPixel(combo, buttonLeft, middle), blend(whitenedBehind(combo, buttonLeft, middle), 0, 80)))
        << "the button's outline";
    EXPECT_TRUE(colourIs(windowPixel(combo, buttonLeft - 1, middle), whitenedBehind(combo, buttonLeft - 1, middle)))
        << "nothing left of it";
  }
}

// Records the texts a combo box is sent with WM_SETTEXT before the skin takes it over.
std::vector<std::string> textsSet;
WNDPROC systemComboProcedure = nullptr;
LRESULT CALLBACK recordTexts(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT) textsSet.emplace_back(reinterpret_cast<const char*>(lParam));
  return CallWindowProcA(systemComboProcedure, window, message, wParam, lParam);
}

TEST_F(ComboTest, TheSelectedItemsTextIsPushedIntoTheComboBoxOnceAtRegistration) {
  ComboPair pair;
  addItems(pair.list);
  addItems(pair.dropDown);
  SendMessageA(pair.list, CB_SETCURSEL, 2, 0);
  systemComboProcedure =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(pair.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordTexts)));
  SetWindowLongPtrA(pair.dropDown, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordTexts));
  textsSet.clear();
  placeTopLeft(pair.window.get());
  pair.window.skin();
  EXPECT_EQ(textsSet, std::vector<std::string>{"联通"}) << "the drop-down without a selection keeps its text";

  // The skin writes the selection in the text area.
  repaintNow(pair.list);
  SIZE size = windowSize(pair.list);
  int dark = 0;
  for (int x = 2; x < size.cx - 20; ++x)
    for (int y = 2; y < size.cy - 2; ++y)
      if (GetRValue(windowPixel(pair.list, x, y)) < 100) ++dark;
  EXPECT_GT(dark, 10);
}

TEST_F(ComboTest, FocusPaintsTheFrameInTheAccentColourAndLosingItWaitsForTheNextPaint) {
  ComboPair pair;
  placeTopLeft(pair.window.get());
  pair.window.skin();
  HWND combo = pair.list;
  repaintNow(combo);
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, 0, 80)));
  SetFocus(combo);
  EXPECT_EQ(recordOf(pair.window.get()).controls->combos[listIndexOf(combo)].hasFocus, 1);
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, kAccent, 200)));
  fillWindow(combo, kRed);
  SetFocus(pair.dropDown);
  EXPECT_EQ(recordOf(pair.window.get()).controls->combos[listIndexOf(combo)].hasFocus, 0);
  EXPECT_EQ(leftEdge(combo), kRed) << "no repaint when the focus goes";
  repaintNow(combo);
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, 0, 80)));
}

TEST_F(ComboTest, TheMouseEnteringPaintsTheHotLookOnceAndLeavingPaintsItPlain) {
  HWND combo = control(control::kCarrier);
  SetFocus(control(control::kPort));
  WindowRecord& record = recordOf(window());
  fillWindow(combo, kRed);
  SendMessageA(combo, WM_MOUSEMOVE, 0, pointParam(90, 5));
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, kAccent, 200)));
  EXPECT_EQ(record.hotListKind, kHotComboBoxes);
  EXPECT_EQ(record.hotControlIndex, listIndexOf(combo));
  EXPECT_EQ(record.controlUnderMouse, listIndexOf(combo));
  fillWindow(combo, kRed);
  SendMessageA(combo, WM_MOUSEMOVE, 0, pointParam(91, 5));
  EXPECT_EQ(leftEdge(combo), kRed) << "moving within does not repaint";
  SendMessageA(combo, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(record.hotControlIndex, 0);
  EXPECT_TRUE(colourIs(leftEdge(combo), expectedLeftEdge(combo, 0, 80)));
  repaintNow(combo);
}

TEST_F(ComboTest, ASimpleComboBoxKeepsTwoPixelsOfItsListUnderTheSkin) {
  TestWindow window(WS_POPUP, 200, 200);
  HWND combo = addControl(window.get(), "COMBOBOX", "", CBS_SIMPLE, 4, 4, 120, 150);
  addItems(combo);
  placeTopLeft(window.get());
  window.skin();
  HWND list = FindWindowExA(combo, nullptr, "ComboLBox", nullptr);
  ASSERT_NE(list, nullptr);
  fillWindow(combo, kRed);
  fillWindow(list, kRed);
  SendMessageA(combo, WM_NCPAINT, 1, 0);
  RECT area = childRectangle(list);
  int middle = (area.top + area.bottom) / 2;
  EXPECT_NE(windowPixel(combo, area.left + 1, middle), kRed) << "covered by the skin";
  EXPECT_EQ(windowPixel(combo, area.left + 2, middle), kRed) << "left to the list";
  EXPECT_EQ(windowPixel(combo, area.right - 3, middle), kRed);
  EXPECT_NE(windowPixel(combo, area.right - 2, middle), kRed);
}

}  // namespace

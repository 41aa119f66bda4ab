// Push buttons, check boxes and radio buttons under the skin: which buttons are taken over, the
// records and properties they get, how they answer the mouse and the keyboard, and what they look
// like on screen.
#include <gtest/gtest.h>

#include "app/mainWindow.h"
#include "renderTesting.h"
#include "skin/controls/button/button.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/shared/controlFont.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/shared/procedureRows.h"

namespace {

using ButtonsTest = SkinnedControlsTest;

LONG styleOf(HWND window) {
  return GetWindowLongA(window, GWL_STYLE);
}

const ButtonRecord& buttonRecord(HWND button) {
  return recordOf(GetAncestor(button, GA_ROOT)).controls->buttons[listIndexOf(button)];
}

// A window with one button of every type the system offers.
struct ButtonZoo {
  TestWindow window{WS_POPUP, 220, 200};
  HWND push = addControl(window.get(), "BUTTON", "推", BS_PUSHBUTTON, 4, 4, 60, 24);
  HWND defaultPush = addControl(window.get(), "BUTTON", "默认", BS_DEFPUSHBUTTON, 70, 4, 60, 24);
  HWND ownerDrawn = addControl(window.get(), "BUTTON", "自绘", BS_OWNERDRAW, 136, 4, 60, 24);
  HWND groupBox = addControl(window.get(), "BUTTON", "分组", BS_GROUPBOX, 4, 150, 200, 40);
  HWND autoCheck = addControl(window.get(), "BUTTON", "自动复选", BS_AUTOCHECKBOX, 4, 34, 100, 20);
  HWND check = addControl(window.get(), "BUTTON", "复选", BS_CHECKBOX, 110, 34, 100, 20);
  HWND autoRadio = addControl(window.get(), "BUTTON", "自动单选", BS_AUTORADIOBUTTON, 4, 60, 100, 20);
  HWND radio = addControl(window.get(), "BUTTON", "单选", BS_RADIOBUTTON, 110, 60, 100, 20);
  HWND threeState = addControl(window.get(), "BUTTON", "三态", BS_AUTO3STATE, 4, 86, 100, 20);
  HWND pushBox = addControl(window.get(), "BUTTON", "推框", BS_PUSHBOX, 110, 86, 100, 20);
};

TEST_F(ButtonsTest, TakesOverPushButtonsCheckBoxesAndAutoRadioButtonsOnly) {
  ButtonZoo zoo;
  placeTopLeft(zoo.window.get());
  WNDPROC systemProcedure = procedureOf(zoo.push);
  int index = zoo.window.skin();
  ASSERT_GE(index, 1);

  struct Case {
    HWND button;
    int kind;
  };
  for (Case taken : {Case{zoo.push, kPushButton}, Case{zoo.defaultPush, kPushButton}, Case{zoo.autoCheck, kCheckBox},
                     Case{zoo.check, kCheckBox}, Case{zoo.pushBox, kCheckBox}, Case{zoo.autoRadio, kRadioButton}}) {
    SCOPED_TRACE(windowText(taken.button));
    ASSERT_GE(listIndexOf(taken.button), 1);
    EXPECT_EQ(buttonRecord(taken.button).window, taken.button);
    EXPECT_EQ(buttonRecord(taken.button).kind, taken.kind);
    EXPECT_EQ(ownerIndexOf(taken.button), index);
    EXPECT_EQ(procedureOf(taken.button), buttonProcedure);
    EXPECT_EQ(savedProcedureOf(taken.button), systemProcedure);
    EXPECT_EQ(buttonRecord(taken.button).savedProcedure, systemProcedure);
  }
  for (HWND left : {zoo.ownerDrawn, zoo.groupBox, zoo.radio, zoo.threeState}) {
    SCOPED_TRACE(windowText(left));
    EXPECT_EQ(listIndexOf(left), 0);
    EXPECT_NE(procedureOf(left), buttonProcedure);
  }
  EXPECT_EQ(recordOf(zoo.window.get()).controls->buttons.count(), 6) << "the empty first record was filled, not kept";
  EXPECT_EQ(recordOf(zoo.window.get()).controls->buttons[1].window, zoo.push);

  EXPECT_EQ(styleOf(zoo.push) & BS_TYPEMASK, BS_OWNERDRAW) << "push buttons are switched to owner-draw";
  EXPECT_EQ(styleOf(zoo.defaultPush) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(styleOf(zoo.autoCheck) & BS_TYPEMASK, BS_AUTOCHECKBOX) << "check boxes keep their style";
  EXPECT_EQ(styleOf(zoo.autoRadio) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
  EXPECT_EQ(buttonRecord(zoo.push).text, "推");
}

TEST_F(ButtonsTest, TheFirstButtonFillsTheEmptyRecordAndLaterOnesAppend) {
  TestWindow window(WS_POPUP, 200, 100);
  placeTopLeft(window.get());
  int index = window.skin();
  ASSERT_EQ(recordOf(window.get()).controls->buttons.count(), 1);
  EXPECT_EQ(recordOf(window.get()).controls->buttons[1].window, nullptr);

  HWND first = addControl(window.get(), "BUTTON", "一", BS_PUSHBUTTON, 4, 4, 60, 24);
  registerPushButtons(index, window.get());
  EXPECT_EQ(recordOf(window.get()).controls->buttons.count(), 1);
  EXPECT_EQ(listIndexOf(first), 1);

  HWND check = addControl(window.get(), "BUTTON", "复选", BS_AUTOCHECKBOX, 4, 40, 80, 20);
  registerCheckAndRadioButtons(index, window.get());
  EXPECT_EQ(recordOf(window.get()).controls->buttons.count(), 2);
  EXPECT_EQ(listIndexOf(check), 2);
}

// A font made for a test, deleted after the windows that use it.
struct TestFont {
  HFONT handle;
  TestFont(int height, int weight)
      : handle(CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma")) {}
  ~TestFont() { DeleteObject(handle); }
};

// The defaults themselves ("宋体", 12) are host-tested: GDI+ under Wine makes a font of whatever
// a control has, so here a push button's font is what it reads.
TEST_F(ButtonsTest, ButtonsRecordTheFontTheirCaptionIsDrawnIn) {
  TestFont bold15(-15, FW_BOLD);
  TestWindow window(WS_POPUP, 200, 100);
  HWND push = addControl(window.get(), "BUTTON", "一", BS_PUSHBUTTON, 4, 4, 60, 24, 0, false);
  SendMessageA(push, WM_SETFONT, reinterpret_cast<WPARAM>(bold15.handle), FALSE);
  HWND check = addControl(window.get(), "BUTTON", "二", BS_AUTOCHECKBOX, 4, 40, 80, 20, 0, false);
  placeTopLeft(window.get());
  window.skin();

  EXPECT_EQ(buttonRecord(push).fontSize, 15);
  EXPECT_EQ(buttonRecord(push).fontStyle, Gdiplus::FontStyleBold);
  EXPECT_EQ(buttonRecord(push).fontFamily, readControlFont(push).family);
  EXPECT_NE(buttonRecord(push).fontFamily, "");
  ControlFont read = readControlFont(check);
  EXPECT_EQ(buttonRecord(check).fontFamily, read.family);
  EXPECT_EQ(buttonRecord(check).fontSize, read.size);
}

// Counts the BN_CLICKED notifications its window receives.
int clicks = 0;
LRESULT CALLBACK countClicks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) ++clicks;
  return DefWindowProcA(window, message, wParam, lParam);
}

void doubleClick(HWND button) {
  LPARAM inside = pointParam(5, 5);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  SendMessageA(button, WM_LBUTTONUP, 0, inside);
  SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
  SendMessageA(button, WM_LBUTTONUP, 0, inside);
}

TEST_F(ButtonsTest, ADoubleClickDoesNothingBeyondTheFirstClick) {
  TestWindow window(WS_POPUP, 200, 100);
  SetWindowLongPtrA(window.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countClicks));
  HWND push = addControl(window.get(), "BUTTON", "推", BS_PUSHBUTTON, 4, 4, 60, 24);
  HWND check = addControl(window.get(), "BUTTON", "复选", BS_AUTOCHECKBOX, 4, 40, 80, 20);
  placeTopLeft(window.get());
  window.skin();

  clicks = 0;
  doubleClick(push);
  EXPECT_EQ(clicks, 1);
  doubleClick(check);
  EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED) << "toggled once, not back";
}

// Repaints are seen on screen: the test paints the control red, and a repaint covers the red.
class HoverTest : public ButtonsTest {
 protected:
  static bool buttonRepaintedOnMove(HWND button) {
    fillWindow(button, kRed);
    SendMessageA(button, WM_MOUSEMOVE, 0, pointParam(3, 3));
    return windowPixel(button, windowSize(button).cx / 2, 2) != kRed;
  }
  static bool frameRepaintedOnMove(HWND edit) {
    fillWindow(edit, kRed);
    SendMessageA(edit, WM_MOUSEMOVE, 0, pointParam(3, 3));
    return windowPixel(edit, 0, windowSize(edit).cy / 2) != kRed;
  }
  void TearDown() override { pumpMessages(50); }  // the leave notifications waiting in the queue
};

TEST_F(HoverTest, AButtonRepaintsOnceWhenTheMouseEntersItAndAgainWhenItLeaves) {
  HWND save = control(control::kSaveButton);
  HWND extract = control(control::kExtractButton);
  WindowRecord& record = recordOf(window());
  EXPECT_TRUE(buttonRepaintedOnMove(save));
  EXPECT_EQ(windowPixel(save, windowSize(save).cx / 2, 0), kAccent) << "the hot outline";
  EXPECT_FALSE(buttonRepaintedOnMove(save)) << "moving within the button does not repaint it";
  EXPECT_EQ(record.hotControlIndex, listIndexOf(save));
  EXPECT_EQ(record.hotListKind, kHotButtons);
  EXPECT_EQ(record.controlUnderMouse, listIndexOf(save));

  EXPECT_TRUE(buttonRepaintedOnMove(extract));
  EXPECT_EQ(record.hotControlIndex, listIndexOf(extract));

  fillWindow(extract, kRed);
  SendMessageA(extract, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(record.hotControlIndex, 0);
  EXPECT_NE(windowPixel(extract, windowSize(extract).cx / 2, 2), kRed);
  EXPECT_NE(windowPixel(extract, windowSize(extract).cx / 2, 0), kAccent) << "back in the plain look";
}

TEST_F(HoverTest, AnEditBoxWithTheHotButtonsIndexStillRepaintsItsFrame) {
  HWND save = control(control::kSaveButton);
  HWND list = control(control::kProxyList);
  ASSERT_EQ(listIndexOf(save), listIndexOf(list)) << "both are the first of their family";
  EXPECT_TRUE(buttonRepaintedOnMove(save));
  EXPECT_TRUE(frameRepaintedOnMove(list)) << "same index, other family";
  EXPECT_FALSE(frameRepaintedOnMove(list));
  EXPECT_TRUE(buttonRepaintedOnMove(save)) << "and back again";
}

TEST_F(HoverTest, LeftButtonUpEndsTheHoverState) {
  HWND save = control(control::kSaveButton);
  SendMessageA(save, WM_MOUSEMOVE, 0, pointParam(3, 3));
  ASSERT_EQ(recordOf(window()).hotControlIndex, listIndexOf(save));
  // A button-up without a press before it clicks nothing.
  SendMessageA(save, WM_LBUTTONUP, 0, pointParam(3, 3));
  EXPECT_EQ(recordOf(window()).hotControlIndex, 0);
}

TEST_F(ButtonsTest, TheSpaceBarOnACheckBoxOrRadioButtonLeavesTheSkinsLookOnScreen) {
  TestWindow window(WS_POPUP, 200, 100);
  HWND check = addControl(window.get(), "BUTTON", "复选", BS_AUTOCHECKBOX, 4, 4, 100, 20);
  HWND radio = addControl(window.get(), "BUTTON", "单选", BS_AUTORADIOBUTTON, 4, 40, 100, 20);
  placeTopLeft(window.get());
  window.skin();
  for (HWND button : {check, radio}) {
    SCOPED_TRACE(windowText(button));
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::vector<COLORREF> unchecked = clientPixels(button);
    // The system draws its pushed look for the key; the skin draws over it at once.
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(clientPixels(button), unchecked) << "the skin shows no pressed state";
    SendMessageA(button, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(SendMessageA(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    std::vector<COLORREF> checked = clientPixels(button);
    EXPECT_NE(checked, unchecked);
    repaintButton(button, 0);
    EXPECT_EQ(clientPixels(button), checked) << "what is on screen is the skin's checked look";
  }
}

TEST_F(ButtonsTest, DisabledButtonsShowTheSilverBodyAndTheirCaption) {
  TestWindow window(WS_POPUP, 200, 100);
  HWND push = addControl(window.get(), "BUTTON", "推推", BS_PUSHBUTTON, 4, 4, 72, 40);
  HWND check = addControl(window.get(), "BUTTON", "复选", BS_AUTOCHECKBOX, 4, 50, 100, 20);
  placeTopLeft(window.get());
  window.skin();
  for (HWND button : {push, check}) {
    SCOPED_TRACE(windowText(button));
    EnableWindow(button, FALSE);
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SIZE size = windowSize(button);
    EXPECT_EQ(clientPixel(button, size.cx - 4, 3), RGB(192, 192, 192));
    EXPECT_TRUE(colourIs(clientPixel(button, 0, size.cy / 2), blend(RGB(192, 192, 192), 0, 80)))
        << "the faint dark outline";
    int captionPixels = 0;
    for (COLORREF pixel : clientPixels(button))
      if (GetRValue(pixel) < 128) ++captionPixels;
    EXPECT_GT(captionPixels, 10) << "the caption is still drawn";
  }
}

TEST_F(ButtonsTest, APushButtonLooksTranslucentOverTheSkin) {
  HWND save = control(control::kSaveButton);
  RedrawWindow(save, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  // Near the top edge: white at 120 over the skin, then the gradients' nearly clear top.
  COLORREF pixel = clientPixel(save, 36, 2);
  COLORREF face = blend(skinBehind(save, 36, 2), RGB(255, 255, 255), 120);
  EXPECT_TRUE(colourIs(pixel, blend(face, RGB(255, 255, 255), 50), 8));
}

TEST_F(ButtonsTest, DrawItemIgnoresWindowsThatAreNotRegisteredPushButtons) {
  TestWindow window(WS_POPUP, 200, 100);
  HWND loose = addControl(window.get(), "BUTTON", "自绘", BS_OWNERDRAW, 4, 4, 60, 24);
  placeTopLeft(window.get());
  int index = window.skin();
  fillClient(loose, kRed);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = loose;
  item.hDC = GetDC(loose);
  GetClientRect(loose, &item.rcItem);
  drawItem(index, item);
  ReleaseDC(loose, item.hDC);
  EXPECT_EQ(clientPixel(loose, 10, 10), kRed);
}

}  // namespace

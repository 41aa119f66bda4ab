// Track bars, progress bars, up-down controls and headers on the gallery: registration, the hover
// and hit-test rules, and the painted geometry.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "gfxTesting.h"
#include "skin/controls/header/header.h"
#include "skin/controls/progressBar/progressBar.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/trackBar/trackBar.h"
#include "skin/controls/upDown/upDown.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "support/gallery.h"
#include "support/windows.h"

namespace {
constexpr COLORREF kGrey = RGB(128, 128, 128);

using BarsTest = GalleryTest;

template <typename Record>
Record& recordOf(Array<Record>& list, HWND window) {
  return list[findControlRecord(list, window)];
}

bool isAccentLike(COLORREF colour) {
  return GetBValue(colour) > GetRValue(colour) + 60;
}
bool isNearWhite(COLORREF colour) {
  return GetRValue(colour) > 225 && GetGValue(colour) > 225 && GetBValue(colour) > 225;
}
int brightness(COLORREF colour) {
  return GetRValue(colour) + GetGValue(colour) + GetBValue(colour);
}

void hover(HWND control, int x, int y) {
  SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}
void leave(HWND control) {
  SendMessageA(control, WM_MOUSELEAVE, 0, 0);
}

RECT trackBarRect(HWND trackBar, UINT message) {
  RECT rect{};
  SendMessageA(trackBar, message, 0, reinterpret_cast<LPARAM>(&rect));
  return rect;
}

TEST_F(BarsTest, EachFamilyIsRegisteredWithItsStyleInTheRecord) {
  WindowRecord& record = galleryRecord();
  TrackBarRecord& across = recordOf(record.controls->trackBars, g().trackBar);
  EXPECT_EQ(across.vertical, 0);
  EXPECT_EQ(across.tickPlacement, 1);
  EXPECT_EQ(recordOf(record.controls->trackBars, g().verticalTrackBar).vertical, 1);
  EXPECT_EQ(procedureOf(g().trackBar), trackBarProcedure);
  EXPECT_EQ(recordOf(record.controls->progressBars, g().progressBar).vertical, 0);
  EXPECT_EQ(procedureOf(g().progressBar), progressBarProcedure);
  EXPECT_EQ(recordOf(record.controls->upDowns, g().upDown).horizontal, 0);
  EXPECT_EQ(recordOf(record.controls->upDowns, g().horizontalUpDown).horizontal, 1);
  EXPECT_EQ(procedureOf(g().upDown), upDownProcedure);
  EXPECT_EQ(recordOf(record.controls->headers, g().header).buttonsStyle, 0);
  for (HWND control : {g().trackBar, g().progressBar, g().upDown, g().header})
    EXPECT_EQ(ownerIndexOf(control), galleryRecordIndex());
}

TEST_F(BarsTest, TheHeaderInsideAListViewIsFoundAndSkinned) {
  HWND inside = FindWindowExA(g().listView, nullptr, WC_HEADERA, nullptr);
  ASSERT_NE(inside, nullptr);
  EXPECT_GE(findControlRecord(galleryRecord().controls->headers, inside), 1);
  EXPECT_EQ(procedureOf(inside), headerProcedure);
  EXPECT_EQ(recordOf(galleryRecord().controls->headers, inside).buttonsStyle, 1);
}

TEST_F(BarsTest, TheNonClientRowsDifferByFamily) {
  EXPECT_EQ(SendMessageA(g().trackBar, WM_NCPAINT, 1, 0), 1);
  EXPECT_EQ(SendMessageA(g().progressBar, WM_NCPAINT, 1, 0), 1);
  EXPECT_EQ(SendMessageA(g().upDown, WM_NCPAINT, 1, 0), 1);
}

TEST_F(BarsTest, TheThumbGrowsFromADotToACircleUnderTheMouse) {
  FlatBackground grey(kGrey);
  RECT thumb = trackBarRect(g().trackBar, TBM_GETTHUMBRECT);
  RECT channel = trackBarRect(g().trackBar, TBM_GETCHANNELRECT);
  // Inside the hot circle, outside the dot and off the channel.
  POINT probe{thumb.left + 8, channel.top - 2};
  leave(g().trackBar);
  {
    Capture plain(g().trackBar);
    EXPECT_FALSE(isNearWhite(plain.at(probe.x, probe.y)));
    EXPECT_TRUE(isNearWhite(plain.at(thumb.left + 2, channel.top + 1))) << "the dot";
  }
  hover(g().trackBar, thumb.left, channel.top);
  EXPECT_EQ(recordOf(galleryRecord().controls->trackBars, g().trackBar).hot, 1);
  Capture hot(g().trackBar);
  EXPECT_TRUE(isNearWhite(hot.at(probe.x, probe.y)));
  EXPECT_TRUE(isNearWhite(hot.at(thumb.left + 5, channel.top - 3)));
  leave(g().trackBar);
  EXPECT_EQ(recordOf(galleryRecord().controls->trackBars, g().trackBar).hot, 0);
}

TEST_F(BarsTest, AtTheMaximumTheDotSitsEightPixelsRightOfTheThumb) {
  FlatBackground grey(kGrey);
  SendMessageA(g().trackBar, TBM_SETPOS, TRUE, 100);
  repaintNow(g().trackBar);
  RECT thumb = trackBarRect(g().trackBar, TBM_GETTHUMBRECT);
  RECT channel = trackBarRect(g().trackBar, TBM_GETCHANNELRECT);
  {
    Capture atEnd(g().trackBar);
    EXPECT_TRUE(isNearWhite(atEnd.at(thumb.left + 10, channel.top + 3)));
    EXPECT_FALSE(isNearWhite(atEnd.at(thumb.left + 2, channel.top + 3)));
  }
  SendMessageA(g().trackBar, TBM_SETPOS, TRUE, 40);
  repaintNow(g().trackBar);
}

TEST_F(BarsTest, AVerticalTrackBarShadesItsFrameFromLeftToRight) {
  FlatBackground grey(kGrey);
  Capture bar(g().verticalTrackBar);
  int w = bar.width();
  int h = bar.height();
  EXPECT_GT(brightness(bar.at(2, 6)), brightness(bar.at(w - 3, 6)) + 60);
  EXPECT_LE(std::abs(brightness(bar.at(2, 6)) - brightness(bar.at(2, h - 6))), 6);
}

// The last column of the filled part: accent-coloured pixels along the middle row.
int lastFilledColumn(HWND progressBar) {
  Capture bar(progressBar);
  int last = -1;
  for (int x = 0; x < bar.width(); ++x)
    if (isAccentLike(bar.at(x, bar.height() / 2))) last = x;
  return last;
}

TEST_F(BarsTest, TheFilledPartIsItsShareOfTheWidth) {
  FlatBackground grey(kGrey);
  RECT placed;
  GetWindowRect(g().progressBar, &placed);
  int width = placed.right - placed.left;
  for (int position : {60, 25}) {
    SendMessageA(g().progressBar, PBM_SETPOS, position, 0);
    repaintNow(g().progressBar);
    int filled = progressFillLength(width, 0, 100, position);
    EXPECT_EQ(filled, width * position / 100);
    EXPECT_NEAR(lastFilledColumn(g().progressBar), filled - 2, 1) << "at " << position;
  }
  SendMessageA(g().progressBar, PBM_SETPOS, 0, 0);
  repaintNow(g().progressBar);
  EXPECT_EQ(lastFilledColumn(g().progressBar), -1);
  SendMessageA(g().progressBar, PBM_SETPOS, 60, 0);
  repaintNow(g().progressBar);
}

TEST_F(BarsTest, TheUpDownHitTestSplitsTheControlInTheMiddle) {
  int index = listIndexOf(g().upDown);
  int across = listIndexOf(g().horizontalUpDown);
  RECT client;
  GetClientRect(g().upDown, &client);
  EXPECT_EQ(upDownHitTest(galleryRecordIndex(), index, POINT{5, client.bottom / 2 - 1}), 0);
  EXPECT_EQ(upDownHitTest(galleryRecordIndex(), index, POINT{5, client.bottom / 2}), 1);
  EXPECT_EQ(upDownHitTest(galleryRecordIndex(), index, POINT{client.right - 1, 2}), 0);
  GetClientRect(g().horizontalUpDown, &client);
  EXPECT_EQ(upDownHitTest(galleryRecordIndex(), across, POINT{client.right / 2 - 1, 15}), 0);
  EXPECT_EQ(upDownHitTest(galleryRecordIndex(), across, POINT{client.right / 2, 0}), 1);
}

TEST_F(BarsTest, TheUpDownHalfUnderTheMouseIsLitAndRepaintedOnlyWhenItChanges) {
  FlatBackground grey(kGrey);
  leave(g().upDown);
  RECT client;
  GetClientRect(g().upDown, &client);
  int quarter = client.bottom / 4;
  RowSpy<dll::BitBlt> copies;
  hover(g().upDown, 5, 3 * quarter);
  int perPaint = copies.calls;
  EXPECT_GT(perPaint, 0);
  hover(g().upDown, 6, 3 * quarter + 1);
  EXPECT_EQ(copies.calls, perPaint) << "the same half: no repaint";
  EXPECT_EQ(recordOf(galleryRecord().controls->upDowns, g().upDown).halfUnderMouse, 1);
  {
    Capture lit(g().upDown);
    EXPECT_TRUE(isAccentLike(lit.at(0, 3 * quarter)));
    EXPECT_FALSE(isAccentLike(lit.at(0, quarter)));
  }
  hover(g().upDown, 5, quarter);
  EXPECT_EQ(copies.calls, 2 * perPaint);
  {
    Capture lit(g().upDown);
    EXPECT_TRUE(isAccentLike(lit.at(0, quarter)));
    EXPECT_FALSE(isAccentLike(lit.at(0, 3 * quarter)));
  }
  leave(g().upDown);
  EXPECT_EQ(recordOf(galleryRecord().controls->upDowns, g().upDown).hot, 0);
  EXPECT_EQ(galleryRecord().hotControlIndex, 0);
}

TEST_F(BarsTest, ThePressedStateFollowsTheLeftButton) {
  SendMessageA(g().upDown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3));
  EXPECT_EQ(recordOf(galleryRecord().controls->upDowns, g().upDown).pressed, 1);
  SendMessageA(g().upDown, WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
  EXPECT_EQ(recordOf(galleryRecord().controls->upDowns, g().upDown).pressed, 0);
  pumpMessages(20);
}

TEST_F(BarsTest, TheHeaderItemUnderTheMouseIsLit) {
  FlatBackground grey(kGrey);
  leave(g().header);
  RECT first{};
  RECT second{};
  SendMessageA(g().header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
  SendMessageA(g().header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  // A few pixels either side of a boundary count as the divider of the item on the left.
  POINT inSecond{second.left + 20, 5};
  EXPECT_EQ(headerItemAt(g().header, inSecond), 1);
  COLORREF plain;
  {
    Capture header(g().header);
    plain = header.at(second.right - 8, 2);
    EXPECT_EQ(header.at(first.right - 8, 2), plain) << "items look alike";
  }
  hover(g().header, inSecond.x, inSecond.y);
  EXPECT_EQ(recordOf(galleryRecord().controls->headers, g().header).hotItem, 1);
  Capture header(g().header);
  EXPECT_NE(header.at(second.right - 8, 2), plain);
  EXPECT_EQ(header.at(first.right - 8, 2), plain);
  leave(g().header);
}

TEST_F(BarsTest, AHeaderItemsDividerIsDrawnAtItsRightEdge) {
  FlatBackground grey(kGrey);
  RECT first{};
  SendMessageA(g().header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
  Capture header(g().header);
  EXPECT_NE(header.at(first.right - 1, 3), header.at(first.right - 3, 3));
}
}  // namespace

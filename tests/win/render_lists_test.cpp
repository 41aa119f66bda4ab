// List boxes, list views and tree views on the gallery: registration, the frame and hover rows of
// the list window procedure, and what shows behind their content.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "gfxTesting.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "support/gallery.h"
#include "support/windows.h"

namespace {
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kMagentaKey = RGB(255, 0, 255);

using ListsTest = GalleryTest;

ListRecord& listRecord(HWND window) {
  return galleryRecord().controls->listLikes[findControlRecord(galleryRecord().controls->listLikes, window)];
}

// The client area's top-left within the window rectangle.
POINT clientOrigin(HWND window) {
  RECT placed;
  GetWindowRect(window, &placed);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return POINT{origin.x - placed.left, origin.y - placed.top};
}

bool isAccentLike(COLORREF colour) {
  return GetBValue(colour) > GetRValue(colour) + 60;
}

TEST_F(ListsTest, ListBoxesListViewsAndTreeViewsAreRegisteredAndPrepared) {
  for (HWND list : {g().listBox, g().ownerDrawnList, g().listView, g().treeView}) {
    EXPECT_GE(findControlRecord(galleryRecord().controls->listLikes, list), 1);
    EXPECT_EQ(procedureOf(list), listLikeProcedure);
    EXPECT_EQ(ownerIndexOf(list), galleryRecordIndex());
  }
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(g().listView, LVM_GETTEXTBKCOLOR, 0, 0)), CLR_NONE);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(g().treeView, TVM_GETBKCOLOR, 0, 0)), kMagentaKey);
}

TEST_F(ListsTest, FocusAndHeldArrowKeysFollowTheMessages) {
  SendMessageA(g().listBox, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(listRecord(g().listBox).hasFocus, 1);
  SendMessageA(g().listBox, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(listRecord(g().listBox).arrowKeyDown, 1);
  SendMessageA(g().listBox, WM_KEYUP, VK_DOWN, 0);
  EXPECT_EQ(listRecord(g().listBox).arrowKeyDown, 0);
  SendMessageA(g().listBox, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(listRecord(g().listBox).arrowKeyDown, 0);
  SendMessageA(g().listBox, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(listRecord(g().listBox).hasFocus, 0);
}

TEST_F(ListsTest, AToolkitQueryWithAnArrowHeldInvalidatesTheList) {
  ValidateRect(g().listBox, nullptr);
  SendMessageA(g().listBox, 0x8002, 0, 0);
  EXPECT_FALSE(GetUpdateRect(g().listBox, nullptr, FALSE));
  listRecord(g().listBox).arrowKeyDown = 1;
  SendMessageA(g().listBox, 0x8002, 0, 0);
  EXPECT_TRUE(GetUpdateRect(g().listBox, nullptr, FALSE));
  listRecord(g().listBox).arrowKeyDown = 0;
  pumpMessages(20);
}

TEST_F(ListsTest, MovingTheMouseWithinOneListRedrawsItsFrameOnce) {
  SendMessageA(g().listBox, WM_MOUSELEAVE, 0, 0);
  RowSpy<dll::TransparentBlt> frameCopies;
  SendMessageA(g().listBox, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  SendMessageA(g().listBox, WM_MOUSEMOVE, 0, MAKELPARAM(12, 20));
  EXPECT_EQ(frameCopies.calls, 1);
  EXPECT_EQ(listRecord(g().listBox).hot, 1);
  EXPECT_EQ(galleryRecord().hotListKind, kHotListLike);
  EXPECT_EQ(galleryRecord().hotControlIndex, listIndexOf(g().listBox));

  SendMessageA(g().listBox, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(frameCopies.calls, 2);
  EXPECT_EQ(listRecord(g().listBox).hot, 0);
  EXPECT_EQ(galleryRecord().hotControlIndex, 0);
}

TEST_F(ListsTest, TheHotFrameIsTheAccentAndThePlainOneDark) {
  FlatBackground grey(kGrey);
  SendMessageA(g().listBox, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  {
    Capture hot(g().listBox);
    EXPECT_TRUE(isAccentLike(hot.at(0, hot.height() / 2))) << "the frame covers the one-pixel border";
  }
  SendMessageA(g().listBox, WM_MOUSELEAVE, 0, 0);
  Capture plain(g().listBox);
  COLORREF edge = plain.at(0, plain.height() / 2);
  EXPECT_FALSE(isAccentLike(edge));
  EXPECT_LT(GetRValue(edge), GetRValue(whitened(kGrey)));
}

TEST_F(ListsTest, ATreeViewShowsTheWhitenedSkinThroughItsMagentaBackground) {
  // The tree's own paint also reaches the screen unkeyed when its procedure no longer finds it;
  // a failure here tells that apart from a composition that missed the key.
  ASSERT_EQ(procedureOf(g().treeView), listLikeProcedure);
  ASSERT_GE(listIndexOf(g().treeView), 1);
  ASSERT_EQ(listIndexOf(g().treeView), findControlRecord(galleryRecord().controls->listLikes, g().treeView));
  for (COLORREF skin : {kGrey, RGB(20, 60, 140)}) {
    FlatBackground flat(skin);
    Capture tree(g().treeView);
    POINT origin = clientOrigin(g().treeView);
    RECT client;
    GetClientRect(g().treeView, &client);
    EXPECT_TRUE(coloursNear(tree.at(origin.x + client.right - 6, origin.y + client.bottom - 6), whitened(skin), 3));
    int magenta = 0;
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x) magenta += tree.at(origin.x + x, origin.y + y) == kMagentaKey;
    EXPECT_EQ(magenta, 0);
  }
}

TEST_F(ListsTest, AListViewShowsTheWhitenedSkinBehindItsRows) {
  FlatBackground grey(kGrey);
  RECT label{LVIR_LABEL, 0, 0, 0};
  SendMessageA(g().listView, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&label));
  Capture view(g().listView);
  POINT origin = clientOrigin(g().listView);
  EXPECT_TRUE(coloursNear(view.at(origin.x + label.right - 3, origin.y + label.top + 1), whitened(kGrey), 3));
  RECT client;
  GetClientRect(g().listView, &client);
  EXPECT_TRUE(coloursNear(view.at(origin.x + client.right - 4, origin.y + client.bottom - 4), whitened(kGrey), 3));
}

TEST_F(ListsTest, AnOwnerDrawnListBoxKeepsItsOwnBackground) {
  FlatBackground grey(kGrey);
  Capture list(g().ownerDrawnList);
  POINT origin = clientOrigin(g().ownerDrawnList);
  RECT client;
  GetClientRect(g().ownerDrawnList, &client);
  EXPECT_EQ(list.at(origin.x + client.right - 4, origin.y + 9), kOwnerDrawnItemColour);
  EXPECT_EQ(list.at(origin.x + client.right - 4, origin.y + client.bottom - 4), GetSysColor(COLOR_WINDOW));
}
}  // namespace

// Group boxes and tab controls on the gallery: registration, the container window procedure's
// answers for the controls inside, and the painted frame and caption.
#include <gtest/gtest.h>

#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/container.h"
#include "support/gallery.h"
#include "support/windows.h"

namespace {
constexpr COLORREF kGrey = RGB(128, 128, 128);

class ContainersTest : public GalleryTest {
 protected:
  static int containerIndex(HWND window) { return findControlRecord(galleryRecord().containers, window); }
  static ContainerRecord& container(HWND window) { return galleryRecord().containers[containerIndex(window)]; }
};

// A device context of the control's for a colour message, released at the end of the scope.
struct ControlDc {
  explicit ControlDc(HWND control) : control(control), dc(GetDC(control)) {}
  ~ControlDc() { ReleaseDC(control, dc); }
  HWND control;
  HDC dc;
};

LRESULT sendColour(HWND container, UINT message, HDC dc, HWND control) {
  return SendMessageA(container, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

bool hasUpdateRegion(HWND window) {
  return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

TEST_F(ContainersTest, GroupBoxAndTabControlAreSkinnedContainersWhoseChildrenAreSkinned) {
  int group = containerIndex(g().groupBox);
  int tab = containerIndex(g().tab);
  ASSERT_GE(group, 1);
  ASSERT_GE(tab, 1);
  EXPECT_EQ(container(g().groupBox).skinned, 1);
  EXPECT_EQ(container(g().groupBox).isGroupBox, 1);
  EXPECT_EQ(container(g().groupBox).alpha, kGalleryTranslucency);
  EXPECT_EQ(container(g().groupBox).border, 0);
  EXPECT_EQ(container(g().tab).isGroupBox, 0);
  EXPECT_EQ(listIndexOf(g().groupBox), group);
  EXPECT_EQ(ownerIndexOf(g().tab), galleryRecordIndex());
  EXPECT_EQ(procedureOf(g().groupBox), containerProcedure);
  EXPECT_EQ(procedureOf(g().tab), containerProcedure);

  for (HWND inside : {g().groupEdit, g().groupCheck, g().groupRadio, g().tabCombo})
    EXPECT_EQ(ownerIndexOf(inside), galleryRecordIndex()) << "a control inside a container is skinned";
}

TEST_F(ContainersTest, AnEditBoxInsideGetsAWhitenedPatternBrushFromItsContainer) {
  ControlDc edit(g().groupEdit);
  LRESULT brush = sendColour(g().groupBox, WM_CTLCOLOREDIT, edit.dc, g().groupEdit);

  ASSERT_NE(brush, 0);
  EXPECT_EQ(brush, getProperty(g().groupEdit, prop::kColourBrush));
  EXPECT_NE(getProperty(g().groupEdit, prop::kBrushBitmap), 0);
  LOGBRUSH kind{};
  GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof kind, &kind);
  EXPECT_EQ(kind.lbStyle, static_cast<UINT>(BS_PATTERN));
  EXPECT_EQ(GetBkMode(edit.dc), TRANSPARENT);
}

TEST_F(ContainersTest, TheEditFieldOfAComboBoxIsLeftToTheComboBox) {
  HWND field = FindWindowExA(g().tabCombo, nullptr, "Edit", nullptr);
  ASSERT_NE(field, nullptr);
  ControlDc dc(field);
  LONG_PTR before = getProperty(field, prop::kColourBrush);

  sendColour(g().tab, WM_CTLCOLOREDIT, dc.dc, field);

  EXPECT_EQ(getProperty(field, prop::kColourBrush), before);
}

TEST_F(ContainersTest, ButtonsAndPlainListBoxesGetTheNullBrushButOwnerDrawnListBoxesDoNot) {
  auto nullBrush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  ControlDc dc(g().groupCheck);
  EXPECT_EQ(sendColour(g().groupBox, WM_CTLCOLORBTN, dc.dc, g().groupCheck), nullBrush);
  EXPECT_EQ(sendColour(g().groupBox, WM_CTLCOLORLISTBOX, dc.dc, g().listBox), nullBrush);
  EXPECT_NE(sendColour(g().groupBox, WM_CTLCOLORLISTBOX, dc.dc, g().ownerDrawnList), nullBrush);
}

TEST_F(ContainersTest, WithoutAGivenTranslucencyNoColourMessageIsAnswered) {
  ScopedSetting notGiven(skinEngine().settings().translucencyGiven, 0);
  ControlDc dc(g().groupEdit);
  LONG_PTR before = getProperty(g().groupEdit, prop::kColourBrush);

  sendColour(g().groupBox, WM_CTLCOLORSTATIC, dc.dc, g().groupEdit);
  sendColour(g().groupBox, WM_CTLCOLOREDIT, dc.dc, g().groupEdit);

  EXPECT_EQ(getProperty(g().groupEdit, prop::kColourBrush), before);
  EXPECT_NE(sendColour(g().groupBox, WM_CTLCOLORBTN, dc.dc, g().groupCheck),
            reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
}

TEST_F(ContainersTest, OnlyChangeNotificationsInvalidateTheEditBoxInside) {
  auto edit = reinterpret_cast<LPARAM>(g().groupEdit);
  ValidateRect(g().groupEdit, nullptr);
  SendMessageA(g().groupBox, WM_COMMAND, MAKEWPARAM(0, EN_SETFOCUS), edit);
  SendMessageA(g().groupBox, WM_COMMAND, MAKEWPARAM(0, EN_KILLFOCUS), edit);
  EXPECT_FALSE(hasUpdateRegion(g().groupEdit));

  SendMessageA(g().groupBox, WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), edit);
  EXPECT_TRUE(hasUpdateRegion(g().groupEdit));
  pumpMessages(20);
}

TEST_F(ContainersTest, ATreeViewExpandingInsideIsInvalidated) {
  ValidateRect(g().treeView, nullptr);
  NMHDR expanded{g().treeView, 0, static_cast<UINT>(TVN_ITEMEXPANDEDA)};
  SendMessageA(g().groupBox, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&expanded));
  EXPECT_TRUE(hasUpdateRegion(g().treeView));
  pumpMessages(20);
}

TEST_F(ContainersTest, APushButtonInsideIsDrawnWhenItsContainerGetsTheDrawItem) {
  RECT client;
  GetClientRect(g().pictureButton, &client);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(memory, &client, magenta);

  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = g().pictureButton;
  item.hDC = memory;
  item.rcItem = client;
  SendMessageA(g().pictureBox, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));

  EXPECT_NE(GetPixel(memory, client.right / 2, client.bottom / 2), RGB(255, 0, 255));
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteObject(magenta);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST_F(ContainersTest, ResizingMarksTheContainerForOneFullRepaint) {
  RECT client;
  GetClientRect(g().groupBox, &client);
  SendMessageA(g().groupBox, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  EXPECT_EQ(container(g().groupBox).resized, 1);

  repaintNow(g().groupBox);
  EXPECT_EQ(container(g().groupBox).resized, 0);
}

TEST_F(ContainersTest, MovingASeeThroughContainerInvalidatesIt) {
  ValidateRect(g().groupBox, nullptr);
  SendMessageA(g().groupBox, WM_MOVE, 0, 0);
  EXPECT_TRUE(hasUpdateRegion(g().groupBox));
  pumpMessages(20);
}

// The columns of the group box's caption: near-black pixels in the caption line.
struct Extent {
  int first = -1;
  int last = -1;
};

Extent captionColumns(HWND groupBox) {
  Capture box(groupBox);
  Extent extent;
  for (int x = 0; x < box.width(); ++x)
    for (int y = 0; y < 20; ++y) {
      COLORREF pixel = box.at(x, y);
      if (GetRValue(pixel) < 70 && GetGValue(pixel) < 70 && GetBValue(pixel) < 70) {
        if (extent.first < 0) extent.first = x;
        extent.last = x;
        break;
      }
    }
  return extent;
}

TEST_F(ContainersTest, GroupBoxCaptionIsCentredOrTenPixelsInFromTheSideItsStyleNames) {
  FlatBackground grey(kGrey);
  RECT client;
  GetClientRect(g().groupBox, &client);
  LONG style = GetWindowLongA(g().groupBox, GWL_STYLE);

  Extent centred = captionColumns(g().groupBox);
  ASSERT_GE(centred.first, 0) << "the caption is drawn";
  EXPECT_NEAR((centred.first + centred.last) / 2.0, client.right / 2.0, 3);

  SetWindowLongA(g().groupBox, GWL_STYLE, (style & ~BS_CENTER) | BS_LEFT);
  repaintNow(g().groupBox);
  Extent left = captionColumns(g().groupBox);
  // GDI+ pads a measured string on both sides, so the ink starts a little inside the caption box.
  EXPECT_GE(left.first, 10);
  EXPECT_LE(left.first, 15);
  EXPECT_NEAR(left.last - left.first, centred.last - centred.first, 1);

  SetWindowLongA(g().groupBox, GWL_STYLE, (style & ~BS_CENTER) | BS_RIGHT);
  repaintNow(g().groupBox);
  Extent right = captionColumns(g().groupBox);
  EXPECT_LE(right.last, client.right - 10);
  EXPECT_GE(right.last, client.right - 15);

  SetWindowLongA(g().groupBox, GWL_STYLE, style & ~BS_CENTER);
  repaintNow(g().groupBox);
  EXPECT_EQ(captionColumns(g().groupBox).first, left.first) << "no alignment bit: at the left";

  SetWindowLongA(g().groupBox, GWL_STYLE, style);
  repaintNow(g().groupBox);
}

TEST_F(ContainersTest, GroupBoxFrameLiesOverTheSkinAndItsInsideIsTheSkin) {
  FlatBackground grey(kGrey);
  Capture box(g().groupBox);
  int middle = box.height() / 2;
  EXPECT_TRUE(coloursNear(box.at(0, middle), RGB(108, 108, 108), 3)) << "black at alpha 40 over the skin";
  EXPECT_TRUE(coloursNear(box.at(1, middle), RGB(173, 173, 173), 3)) << "white at alpha 90 over the skin";
  EXPECT_EQ(box.at(box.width() - 20, middle), kGrey);
}

TEST_F(ContainersTest, TabControlShowsTheSkinAndNoneOfItsOwnDrawing) {
  constexpr COLORREF kBlue = RGB(40, 90, 160);
  FlatBackground blue(kBlue);
  Capture tab(g().tab);
  for (POINT at : {POINT{4, 4}, POINT{60, 10}, POINT{tab.width() - 4, tab.height() - 4}, POINT{4, tab.height() - 4}})
    EXPECT_EQ(tab.at(at.x, at.y), kBlue) << "at " << at.x << ", " << at.y;
}

}  // namespace

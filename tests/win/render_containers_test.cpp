// Group boxes and tab controls on the gallery: registration, the answers to the colour and change
// messages of the controls inside (the same as the skinned window's), and the painted frame and
// caption.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "skin/controls/container/container.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "support/gallery.h"
#include "support/windows.h"

namespace {
constexpr COLORREF kGrey = RGB(128, 128, 128);

class ContainersTest : public GalleryTest {
 protected:
  static int containerIndex(HWND window) { return findControlRecord(galleryRecord().controls->containers, window); }
  static ContainerRecord& container(HWND window) {
    return galleryRecord().controls->containers[containerIndex(window)];
  }
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

// ---- Colour and change messages ----
// The skinned window's message handler and a container's procedure answer them by the same rules;
// each case runs for both.

struct Answerer {
  const char* name;
  HWND window;
};
std::vector<Answerer> answerers() {
  return {{"the skinned window", gallery().window}, {"a container", gallery().groupBox}};
}

// A combo box answers for its own edit field, which the others leave to it.
TEST_F(ContainersTest, EditBoxesGetAPatternOfTheWhitenedSkinThatEachAnswerReplaces) {
  HWND comboField = FindWindowExA(g().tabCombo, nullptr, "Edit", nullptr);
  ASSERT_NE(comboField, nullptr);
  std::vector<std::pair<Answerer, HWND>> cases;
  for (const Answerer& answerer : answerers()) cases.emplace_back(answerer, g().groupEdit);
  cases.emplace_back(Answerer{"a combo box", g().tabCombo}, comboField);
  for (const auto& [answerer, edit] : cases) {
    SCOPED_TRACE(answerer.name);
    ControlDc dc(edit);
    SetTextColor(dc.dc, RGB(1, 2, 3));
    LRESULT brush = sendColour(answerer.window, WM_CTLCOLOREDIT, dc.dc, edit);
    EXPECT_EQ(brush, getProperty(edit, prop::kColourBrush));
    LOGBRUSH kind{};
    GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof kind, &kind);
    EXPECT_EQ(kind.lbStyle, static_cast<UINT>(BS_PATTERN));
    auto bitmap = getPropertyAs<HGDIOBJ>(edit, prop::kBrushBitmap);
    BITMAP picture{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof picture, &picture), static_cast<int>(sizeof picture));
    RECT client;
    GetClientRect(edit, &client);
    EXPECT_EQ(picture.bmWidth, client.right) << "the skin behind the client area";
    EXPECT_EQ(picture.bmHeight, client.bottom);
    EXPECT_EQ(GetBkMode(dc.dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(dc.dc), textColourOf(edit));

    sendColour(answerer.window, WM_CTLCOLOREDIT, dc.dc, edit);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(brush)), 0u) << "the previous brush is deleted";
    EXPECT_EQ(GetObjectType(bitmap), 0u);
    if (answerer.window == g().tabCombo) continue;
    LONG_PTR fieldBrush = getProperty(comboField, prop::kColourBrush);
    sendColour(answerer.window, WM_CTLCOLOREDIT, dc.dc, comboField);
    EXPECT_EQ(getProperty(comboField, prop::kColourBrush), fieldBrush);
    // Labels and other static controls get the same background.
    EXPECT_NE(sendColour(answerer.window, WM_CTLCOLORSTATIC, dc.dc, edit), 0);
    EXPECT_EQ(GetObjectType(getPropertyAs<HGDIOBJ>(edit, prop::kBrushBitmap)), static_cast<DWORD>(OBJ_BITMAP));
  }
}

TEST_F(ContainersTest, ButtonsAndPlainListBoxesGetTheNullBrushWithTheirTextColour) {
  auto nullBrush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  LONG_PTR textColour = getProperty(g().groupCheck, prop::kTextColour);
  setProperty(g().groupCheck, prop::kTextColour, RGB(10, 20, 30));
  ControlDc dc(g().groupCheck);
  for (const Answerer& answerer : answerers()) {
    SCOPED_TRACE(answerer.name);
    EXPECT_EQ(sendColour(answerer.window, WM_CTLCOLORBTN, dc.dc, g().groupCheck), nullBrush);
    EXPECT_EQ(GetTextColor(dc.dc), RGB(10, 20, 30));
    EXPECT_EQ(sendColour(answerer.window, WM_CTLCOLORLISTBOX, dc.dc, g().listBox), nullBrush);
    EXPECT_EQ(getProperty(g().listBox, prop::kColourBrush), nullBrush);
    EXPECT_NE(sendColour(answerer.window, WM_CTLCOLORLISTBOX, dc.dc, g().ownerDrawnList), nullBrush);
    EXPECT_EQ(getProperty(g().ownerDrawnList, prop::kColourBrush), 0);
  }
  setProperty(g().groupCheck, prop::kTextColour, textColour);
}

void sendNotification(HWND answerer, HWND control, WORD code) {
  SendMessageA(answerer, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

// Whether a message sent to the answerer leaves the control with something to repaint.
template <typename Send>
bool invalidates(HWND control, Send send) {
  ValidateRect(control, nullptr);
  send();
  return hasUpdateRegion(control);
}

TEST_F(ContainersTest, ChangeNotificationsAndTreeExpansionInvalidateTheControlButFocusChangesDoNot) {
  for (const Answerer& answerer : answerers()) {
    SCOPED_TRACE(answerer.name);
    HWND to = answerer.window;
    for (WORD code : {EN_SETFOCUS, EN_KILLFOCUS})
      EXPECT_FALSE(invalidates(g().groupEdit, [&] { sendNotification(to, g().groupEdit, code); })) << code;
    for (WORD code : {EN_CHANGE, EN_UPDATE, EN_HSCROLL, EN_VSCROLL})
      EXPECT_TRUE(invalidates(g().groupEdit, [&] { sendNotification(to, g().groupEdit, code); })) << code;
    EXPECT_TRUE(invalidates(g().listBox, [&] { sendNotification(to, g().listBox, LBN_SELCHANGE); }));
    EXPECT_TRUE(invalidates(g().tabCombo, [&] { sendNotification(to, g().tabCombo, CBN_SELCHANGE); }));
    NMHDR expanded{g().treeView, 0, static_cast<UINT>(TVN_ITEMEXPANDEDA)};
    EXPECT_TRUE(
        invalidates(g().treeView, [&] { SendMessageA(to, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&expanded)); }));
    pumpMessages(20);
  }
}

TEST_F(ContainersTest, WithoutAGivenTranslucencyNoColourOrChangeMessageIsAnswered) {
  ScopedSetting notGiven(skinEngine().settings().translucencyGiven, 0);
  auto nullBrush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  ControlDc dc(g().groupEdit);
  for (const Answerer& answerer : answerers()) {
    SCOPED_TRACE(answerer.name);
    LONG_PTR before = getProperty(g().groupEdit, prop::kColourBrush);
    sendColour(answerer.window, WM_CTLCOLORSTATIC, dc.dc, g().groupEdit);
    sendColour(answerer.window, WM_CTLCOLOREDIT, dc.dc, g().groupEdit);
    EXPECT_EQ(getProperty(g().groupEdit, prop::kColourBrush), before);
    EXPECT_NE(sendColour(answerer.window, WM_CTLCOLORBTN, dc.dc, g().groupCheck), nullBrush);
    EXPECT_NE(sendColour(answerer.window, WM_CTLCOLORLISTBOX, dc.dc, g().listBox), nullBrush);
    EXPECT_FALSE(invalidates(g().groupEdit, [&] { sendNotification(answerer.window, g().groupEdit, EN_CHANGE); }));
  }
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

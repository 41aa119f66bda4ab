// Labels and picture boxes on the gallery: registration (a picture box with a child is also a
// container) and the two ways their own painting is composed over the skin.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "skin/controls/container/container.h"
#include "skin/controls/controlPasses.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/transparent/transparent.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "support/gallery.h"
#include "support/windows.h"

namespace {
constexpr COLORREF kGreen = RGB(30, 120, 60);

using TransparentTest = GalleryTest;

int transparentIndex(HWND window) {
  return findControlRecord(galleryRecord().controls->transparents, window);
}

TEST_F(TransparentTest, ALabelIsRegisteredWithTheFaceColourAsItsKey) {
  int index = transparentIndex(g().label);
  ASSERT_GE(index, 1);
  EXPECT_EQ(galleryRecord().controls->transparents[index].keyColour, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(getProperty(g().label, prop::kTransparentIndex), index);
  EXPECT_EQ(getProperty(g().label, prop::kTransparentOwner), galleryRecordIndex());
  EXPECT_EQ(procedureOf(g().label), transparentProcedure);
  EXPECT_EQ(getPropertyAs<WNDPROC>(g().label, prop::kTransparentProcedure),
            galleryRecord().controls->transparents[index].savedProcedure);
  EXPECT_EQ(findControlRecord(galleryRecord().controls->containers, g().label), 0) << "a label without children";
  EXPECT_EQ(listIndexOf(g().label), 0);
}

TEST_F(TransparentTest, APictureBoxWithAChildBecomesAnUnpaintedContainerWithItsChildSkinned) {
  ASSERT_GE(transparentIndex(g().pictureBox), 1);
  int container = findControlRecord(galleryRecord().controls->containers, g().pictureBox);
  ASSERT_GE(container, 1);
  const ContainerRecord& record = galleryRecord().controls->containers[container];
  EXPECT_EQ(record.skinned, 0);
  EXPECT_EQ(record.border, 0);
  EXPECT_EQ(record.isGroupBox, 0);
  EXPECT_EQ(record.alpha, kGalleryTranslucency);
  EXPECT_EQ(procedureOf(g().pictureBox), containerProcedure);
  EXPECT_EQ(savedProcedureOf(g().pictureBox), transparentProcedure) << "the container passes on to the composition";
  EXPECT_EQ(ownerIndexOf(g().pictureButton), galleryRecordIndex());
}

TEST_F(TransparentTest, FaceColouredPixelsOfAPictureShowTheSkinAndItsOtherPixelsStay) {
  FlatBackground green(kGreen);
  Capture picture(g().pictureBox);
  EXPECT_TRUE(coloursNear(picture.at(20, 20), kGreen, 2)) << "the face-coloured half is keyed out";
  EXPECT_TRUE(coloursNear(picture.at(picture.width() - 10, 22), RGB(255, 22 * 255 / 88, 0), 2));
}

TEST_F(TransparentTest, WithTheSkinDisabledTheControlPaintsAsWithoutSkin) {
  FlatBackground green(kGreen);
  {
    ScopedSetting disabled(skinEngine().settings().skinEnabled, 0);
    repaintNow(g().pictureBox);
    Capture picture(g().pictureBox);
    EXPECT_EQ(picture.at(20, 20), GetSysColor(COLOR_BTNFACE));
  }
  repaintNow(g().pictureBox);
}

TEST_F(TransparentTest, AClassThatPaintsIntoAGivenContextIsComposedOverTheWhitenedSkin) {
  HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE, 566,
                                292, 64, 24, g().window, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(composesOffScreen(status));
  EXPECT_FALSE(composesOffScreen(g().label));
  EXPECT_EQ(registerTransparentControl(status, std::nullopt, 0, kGalleryTranslucency), 0);
  {
    FlatBackground green(kGreen);
    Capture bar(status);
    EXPECT_TRUE(coloursNear(bar.at(bar.width() / 2, bar.height() / 2), whitened(kGreen), 3));
  }
  DestroyWindow(status);
  pumpMessages(20);
}

TEST_F(TransparentTest, MovingALabelInvalidatesIt) {
  ValidateRect(g().label, nullptr);
  SendMessageA(g().label, WM_MOVE, 0, 0);
  EXPECT_TRUE(GetUpdateRect(g().label, nullptr, FALSE));
  pumpMessages(20);
}

TEST_F(TransparentTest, ALabelErasesNothingWhileTheTranslucencyIsGiven) {
  HDC dc = GetDC(g().label);
  SetBkMode(dc, OPAQUE);
  EXPECT_EQ(SendMessageA(g().label, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(g().label, dc);
}
}  // namespace

// The gallery as a whole: the registration passes run again subclass nothing twice, and painting
// every family over and over leaves no GDI object and no back buffer behind. "--child
// showGallery" shows the gallery for a while (for a screenshot).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "skin/controls/button/button.h"
#include "skin/controls/combo/combo.h"
#include "skin/controls/controlPasses.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/transparent/transparent.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "support/childProcess.h"
#include "support/gallery.h"
#include "support/guiObjects.h"
#include "support/windows.h"

namespace {
constexpr int kPaints = 1000;
constexpr int kFullRedrawEvery = 10;
constexpr DWORD kDefaultShowMs = 15000;

using GalleryPaintTest = GalleryTest;

// A named CALLBACK: a lambda converts to a cdecl pointer, which the 32-bit build refuses.
BOOL CALLBACK collectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> galleryWindows() {
  std::vector<HWND> windows{gallery().window};
  EnumChildWindows(gallery().window, collectChild, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Every window's paint, each through its procedure; now and then a redraw of everything with
// erasing and frames, and the hover paths of the families that have them.
void paintGallery(const std::vector<HWND>& windows, int round) {
  for (HWND window : windows) SendMessageA(window, WM_PAINT, 0, 0);
  if (round % kFullRedrawEvery) return;
  repaintNow(gallery().window);
  for (HWND hovered : {gallery().trackBar, gallery().upDown, gallery().header, gallery().listBox}) {
    SendMessageA(hovered, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageA(hovered, WM_MOUSELEAVE, 0, 0);
  }
}

TEST_F(GalleryPaintTest, AThousandPaintsOfTheGalleryLeaveNoGdiObjectAndNoBackBuffer) {
  std::vector<HWND> windows = galleryWindows();
  for (int round = 0; round < 2 * kFullRedrawEvery; ++round) paintGallery(windows, round);
  pumpMessages(50);
  DWORD before = gdiHandleCount();
  ASSERT_GT(before, 0u) << "the GDI count is readable";

  for (int round = 0; round < kPaints; ++round) paintGallery(windows, round);
  pumpMessages(50);

  EXPECT_LE(gdiHandleCount(), before);
  EXPECT_EQ(skinEngine().backBuffers().count(), 0);
}

// The sizes of the lists the registrations fill.
std::vector<int> listSizes(const WindowRecord& record) {
  return {record.controls->buttons.count(),    record.controls->edits.count(),
          record.controls->combos.count(),     record.controls->listLikes.count(),
          record.controls->trackBars.count(),  record.controls->progressBars.count(),
          record.controls->upDowns.count(),    record.controls->headers.count(),
          record.controls->containers.count(), record.controls->transparents.count()};
}

// A control that is its own saved procedure calls itself until the stack runs out.
bool callsItself(HWND control) {
  WNDPROC saved = savedProcedureOf(control);
  return (saved && saved == procedureOf(control)) ||
         getPropertyAs<WNDPROC>(control, prop::kTransparentProcedure) == transparentProcedure;
}

using RegistrationTest = GalleryTest;

TEST_F(RegistrationTest, RegisteringAgainSubclassesNoControlTwiceAndKeepsTheFirstRecords) {
  WindowRecord& record = galleryRecord();
  std::vector<int> before = listSizes(record);
  int group = findControlRecord(record.controls->containers, g().groupBox);
  ContainerRecord first = record.controls->containers[group];

  for (HWND parent : {g().window, g().groupBox, g().tab, g().pictureBox})
    runRegistrationPasses(galleryRecordIndex(), parent);
  EXPECT_EQ(registerContainer(g().groupBox, RGB(1, 2, 3), 200, 0, 1), group);
  for (HWND control : {g().label, g().pictureBox})
    registerTransparentControl(control, std::nullopt, 0, kGalleryTranslucency);

  EXPECT_EQ(listSizes(record), before);
  const ContainerRecord& now = record.controls->containers[group];
  EXPECT_EQ(now.bodyColour, first.bodyColour);
  EXPECT_EQ(now.alpha, first.alpha);
  EXPECT_EQ(now.skinned, first.skinned);
  EXPECT_EQ(now.border, first.border);
  int registered = 0;
  for (HWND window : galleryWindows()) {
    if (window == g().window || !procedureOf(window)) continue;
    if (savedProcedureOf(window) || getProperty(window, prop::kTransparentProcedure)) ++registered;
    ASSERT_FALSE(callsItself(window)) << "control " << window;
  }
  EXPECT_GE(registered, 15) << "every family of the gallery";
  paintGallery(galleryWindows(), 0);
}

TEST_F(RegistrationTest, APassGivenNoParentLeavesTopLevelWindowsAlone) {
  struct Loose {
    const char* className;
    DWORD style;
  };
  std::vector<HWND> loose;
  for (Loose kind : {Loose{"BUTTON", BS_PUSHBUTTON}, Loose{"BUTTON", BS_AUTOCHECKBOX}, Loose{"EDIT", 0},
                     Loose{"COMBOBOX", CBS_DROPDOWN}})
    loose.push_back(CreateWindowExA(0, kind.className, "", WS_POPUP | kind.style, 0, 0, 60, 20, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr));
  std::vector<WNDPROC> procedures;
  for (HWND window : loose) procedures.push_back(procedureOf(window));
  std::vector<int> before = listSizes(galleryRecord());

  for (auto pass : {registerPushButtons, registerCheckAndRadioButtons, registerEditBoxes, registerComboBoxes,
                    registerComboEditFields, registerListLikeControls, runRegistrationPasses})
    pass(galleryRecordIndex(), nullptr);
  EXPECT_EQ(listSizes(galleryRecord()), before);
  for (std::size_t i = 0; i < loose.size(); ++i) {
    EXPECT_EQ(procedureOf(loose[i]), procedures[i]) << "top-level window " << i;
    EXPECT_EQ(listIndexOf(loose[i]), 0);
    DestroyWindow(loose[i]);
  }
}

QV_CHILD_SCENARIO(showGallery) {
  gallery();
  const char* given = std::getenv("QV_GALLERY_SHOW_MS");
  pumpMessages(given ? static_cast<DWORD>(std::atoi(given)) : kDefaultShowMs);
  return 0;
}
}  // namespace

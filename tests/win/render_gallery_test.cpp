// The gallery as a whole: painting every family over and over leaves no GDI object and no back
// buffer behind. "--child showGallery" shows the gallery for a while (for a screenshot).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "skin/engine.h"
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

QV_CHILD_SCENARIO(showGallery) {
  gallery();
  const char* given = std::getenv("QV_GALLERY_SHOW_MS");
  pumpMessages(given ? static_cast<DWORD>(std::atoi(given)) : kDefaultShowMs);
  return 0;
}
}  // namespace

// What a window record releases when it dies: the frame's device contexts and bitmaps.
#include "skin/core/windowRecord.h"

#include "gdi/gdiHandle.h"
#include "skin/core/properties.h"
#include "win32/declared.h"

WindowRecord::~WindowRecord() {
  if (backgroundDc) {
    if (auto first = getPropertyAs<HGDIOBJ>(window, prop::kBackgroundFirstBitmap))
      dll::SelectObject(backgroundDc, first);
    dll::DeleteDC(backgroundDc);
    deleteGdiObject(getPropertyAs<HGDIOBJ>(window, prop::kBackgroundOwnBitmap));
    removeProperty(window, prop::kBackgroundFirstBitmap);
    removeProperty(window, prop::kBackgroundOwnBitmap);
  }
  releaseSnapshot(captionSnapshotDc, captionFirstBitmap, captionOwnBitmap);
  releaseSnapshot(bottomSnapshotDc, bottomFirstBitmap, bottomOwnBitmap);
}

void releaseSnapshot(HDC& dc, HGDIOBJ& firstBitmap, HBITMAP& ownBitmap) {
  if (dc) {
    if (firstBitmap) dll::SelectObject(dc, firstBitmap);
    dll::DeleteDC(dc);
  }
  deleteGdiObject(ownBitmap);
  dc = nullptr;
  firstBitmap = nullptr;
  ownBitmap = nullptr;
}

// The full paint of a skinned window into its buffers, the buffered paint and the title.
#include "draw/colour.h"
#include "draw/paths.h"
#include "gdi/deviceContext.h"
#include "gdi/gdiHandle.h"
#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "gfx/stringFormat.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/frame/background.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/frame.h"

namespace {
constexpr int kBorderAlpha = 180;
constexpr float kOuterBorderCorner = 7;
constexpr float kInnerBorderCorner = 6;
constexpr int kTitleOutlineAlpha = 150;

int width(const RECT& rect) {
  return rect.right - rect.left;
}
int height(const RECT& rect) {
  return rect.bottom - rect.top;
}

// A GDI bitmap of a fresh 32-bit ARGB GDI+ bitmap (transparent black); null when w or h is 0.
HBITMAP newArgbBitmap(int w, int h) {
  Bitmap bitmap;
  if (!bitmap.Create(w, h, PixelFormat32bppARGB)) return nullptr;
  return bitmap.GetHBITMAP(0);
}

// The background buffer gets a new bitmap of the client size; the one it was created with is
// kept in Ck_Ycjdx, every later one is deleted when replaced.
void prepareBackgroundBuffer(WindowRecord& record, int w, int h) {
  if (!record.backgroundDc) record.backgroundDc = dll::CreateCompatibleDC(nullptr);
  HBITMAP bitmap = newArgbBitmap(w, h);
  if (!bitmap) return;
  HGDIOBJ replaced = dll::SelectObject(record.backgroundDc, bitmap);
  if (!getProperty(record.window, prop::kBackgroundFirstBitmap))
    setPropertyTo(record.window, prop::kBackgroundFirstBitmap, replaced);
  else
    deleteGdiObject(replaced);
  setPropertyTo(record.window, prop::kBackgroundOwnBitmap, bitmap);
}

void rebuildSnapshot(HDC& dc, HGDIOBJ& firstBitmap, HBITMAP& ownBitmap, HDC source, const RECT& area) {
  releaseSnapshot(dc, firstBitmap, ownBitmap);
  int w = width(area);
  int h = height(area);
  if (w <= 0 || h <= 0) return;
  dc = dll::CreateCompatibleDC(nullptr);
  ownBitmap = newArgbBitmap(w, h);
  firstBitmap = dll::SelectObject(dc, ownBitmap);
  dll::BitBlt(dc, 0, 0, w, h, source, area.left, area.top, SRCCOPY);
}

void drawBorder(Graphics& graphics, int w, int h) {
  GraphicsPath outer;
  outer.Create();
  addRoundedRectangle(outer, 0, 0, static_cast<float>(w - 1), static_cast<float>(h - 1), kOuterBorderCorner);
  Pen dark;
  dark.Create(toArgb(kBlack, kBorderAlpha), 1);
  graphics.DrawPath(dark, outer);

  GraphicsPath inner;
  inner.Create();
  addRoundedRectangle(inner, 1, 1, static_cast<float>(w - 3), static_cast<float>(h - 3), kInnerBorderCorner);
  Pen light;
  light.Create(toArgb(kWhite, kBorderAlpha), 1);
  graphics.DrawPath(light, inner);
}

Text windowText(HWND window) {
  int length = dll::GetWindowTextLengthA(window);
  Text text(static_cast<size_t>(length) + 1, '\0');
  int copied = dll::GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

// The title's left end, and the caption area the title may use (up to the button strip).
RECT titleArea(const WindowRecord& record) {
  int right = record.stripWidth > 0 ? record.stripLeft : 0;
  if (right <= 0) {
    RECT client;
    dll::GetClientRect(record.window, &client);
    right = client.right;
  }
  return RECT{0, 0, right, record.captionHeight};
}
}  // namespace

void shapeWindow(HWND window) {
  dll::SetWindowRgn(window, nullptr, TRUE);
  dll::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  RECT client;
  dll::GetClientRect(window, &client);
  HRGN region =
      dll::CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, kWindowCornerEllipse, kWindowCornerEllipse);
  // The system owns the region from here on; deleting it would be an error.
  if (region && !dll::SetWindowRgn(window, region, TRUE)) deleteGdiObject(region);
}

void fullPaint(int recordIndex, HDC, bool toScreen) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  RECT client;
  dll::GetClientRect(record->window, &client);
  int w = client.right;
  int h = client.bottom;
  shapeWindow(record->window);
  prepareBackgroundBuffer(*record, w, h);
  {
    Graphics graphics;
    graphics.FromHDC(record->backgroundDc);
    drawBackground(graphics, recordIndex);
    if (record->captionInteractive) {
      drawBorder(graphics, w, h);
      rebuildSnapshot(record->captionSnapshotDc, record->captionFirstBitmap, record->captionOwnBitmap,
                      record->backgroundDc, RECT{0, 0, w, record->captionHeight});
    }
    // The bottom bar's snapshot exists only with a bottom bar.
    RECT bottom = record->bottomBarHeight > 0 ? record->bottomBarRect : RECT{};
    rebuildSnapshot(record->bottomSnapshotDc, record->bottomFirstBitmap, record->bottomOwnBitmap, record->backgroundDc,
                    bottom);
    if (record->captionInteractive) {
      if (record->titleDrawn) drawTitle(recordIndex, graphics, false);
      for (int i = 1; i <= record->captionButtons.count(); ++i) drawCaptionButton(recordIndex, i, &graphics, false, 0);
    }
  }
  record->fullRepaintNeeded = 0;
  if (!toScreen) return;
  copyFrameToWindow(*record, client);
  if (!engine.settings().firstSizeFlag) invalidateRegisteredControls(*record, true);
}

void bufferedPaint(int recordIndex, HDC dc) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record) return;
  if (!record->backgroundDc) {
    fullPaint(recordIndex, dc, true);
    return;
  }
  RECT rect;
  dll::GetWindowRect(record->window, &rect);
  excludeOpaqueChildren(record->window, dc);
  dll::BitBlt(dc, 0, 0, width(rect), height(rect), record->backgroundDc, 0, 0, SRCCOPY);
}

void copyFrameToWindow(const WindowRecord& record, const RECT& area) {
  if (!record.backgroundDc) return;
  WindowDc screen(record.window);
  excludeOpaqueChildren(record.window, screen.get());
  dll::BitBlt(screen.get(), area.left, area.top, width(area), height(area), record.backgroundDc, area.left, area.top,
              SRCCOPY);
}

void drawTitle(int recordIndex, Graphics& graphics, bool toScreen, const char* newText) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  int captionHeight = record->captionHeight;
  if (HICON icon = engine.settings().applicationIcon)
    dll::DrawIconEx(record->backgroundDc, kIconLeft, (captionHeight - kIconSize) / 2, icon, kIconSize, kIconSize, 0,
                    nullptr, DI_NORMAL);

  Text text = newText ? Text(newText) : windowText(record->window);
  RECT area = titleArea(*record);
  float left = static_cast<float>(kIconLeft + kTitleOffsetFromIcon);
  RectF layout(left, 0, static_cast<float>(area.right) - left, static_cast<float>(captionHeight));

  Font font;
  font.Create(record->titleFont, static_cast<float>(record->titleFontSize), record->titleFontStyle);
  StringFormat format;
  format.Create(Gdiplus::StringFormatFlagsNoWrap);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  SolidBrush outline;
  outline.Create(toArgb(record->secondTitleColour, kTitleOutlineAlpha));
  SolidBrush face;
  face.Create(toArgb(record->titleColour, 0, false));
  // An outline one pixel wide around the face keeps the title readable on any photograph.
  constexpr POINT kOutlineOffsets[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (POINT offset : kOutlineOffsets) {
    RectF shifted(layout.X + static_cast<float>(offset.x), layout.Y + static_cast<float>(offset.y), layout.Width,
                  layout.Height);
    graphics.DrawString(text, font, outline, shifted, format);
  }
  graphics.DrawString(text, font, face, layout, format);

  if (toScreen) copyFrameToWindow(*record, area);
}

void redrawTitle(int recordIndex, const char* newText) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !record->backgroundDc) return;
  RECT area = titleArea(*record);
  // The old title goes first: the caption snapshot holds the caption without it.
  if (record->captionSnapshotDc)
    dll::BitBlt(record->backgroundDc, 0, 0, width(area), height(area), record->captionSnapshotDc, 0, 0, SRCCOPY);
  Graphics graphics;
  graphics.FromHDC(record->backgroundDc);
  drawTitle(recordIndex, graphics, true, newText);
}

void invalidateRegisteredControls(const WindowRecord& record, bool framedOnly) {
  auto invalidate = [&](const auto& list) {
    for (const auto& control : list) {
      if (!control.window) continue;
      if (framedOnly && dll::GetParent(control.window) != record.window) continue;
      dll::InvalidateRect(control.window, nullptr, TRUE);
    }
  };
  invalidate(record.controls->buttons);
  invalidate(record.controls->edits);
  invalidate(record.controls->combos);
  invalidate(record.controls->listLikes);
  if (framedOnly) return;
  invalidate(record.controls->trackBars);
  invalidate(record.controls->progressBars);
  invalidate(record.controls->upDowns);
  invalidate(record.controls->headers);
  invalidate(record.controls->transparents);
  invalidate(record.controls->containers);
}

#include "gfx/graphics.h"

#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "gfx/stringFormat.h"

using Gdiplus::GpBrush;
using Gdiplus::GpFont;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpPath;
using Gdiplus::GpPen;
using Gdiplus::GpStringFormat;

bool Graphics::Delete() {
  return deleteWith<GpGraphics>(dll::GdipDeleteGraphics);
}

bool Graphics::FromHDC(HDC hdc, HANDLE device) {
  return create<GpGraphics>([&](GpGraphics** out) {
    return device ? dll::GdipCreateFromHDC2(hdc, device, out) : dll::GdipCreateFromHDC(hdc, out);
  });
}

bool Graphics::FromImage(const Image& image) {
  return create<GpGraphics>(
      [&](GpGraphics** out) { return dll::GdipGetImageGraphicsContext(handleOf<GpImage>(image), out); });
}

bool Graphics::SetCompositingQuality(Gdiplus::CompositingQuality mode) {
  return keepStatus(dll::GdipSetCompositingQuality(graphics(), mode));
}

bool Graphics::SetInterpolationMode(Gdiplus::InterpolationMode mode) {
  return keepStatus(dll::GdipSetInterpolationMode(graphics(), mode));
}

bool Graphics::SetSmoothingMode(Gdiplus::SmoothingMode mode) {
  return keepStatus(dll::GdipSetSmoothingMode(graphics(), mode));
}

bool Graphics::SetPixelOffsetMode(Gdiplus::PixelOffsetMode mode) {
  return keepStatus(dll::GdipSetPixelOffsetMode(graphics(), mode));
}

bool Graphics::DrawLine(const Pen& pen, float x1, float y1, float x2, float y2) {
  return keepStatus(dll::GdipDrawLine(graphics(), handleOf<GpPen>(pen), x1, y1, x2, y2));
}

bool Graphics::DrawRectangle(const Pen& pen, float x, float y, float width, float height) {
  return keepStatus(dll::GdipDrawRectangle(graphics(), handleOf<GpPen>(pen), x, y, width, height));
}

bool Graphics::DrawPath(const Pen& pen, const GraphicsPath& path) {
  return keepStatus(dll::GdipDrawPath(graphics(), handleOf<GpPen>(pen), handleOf<GpPath>(path)));
}

bool Graphics::Clear(Argb colour) {
  return keepStatus(dll::GdipGraphicsClear(graphics(), colour));
}

bool Graphics::FillRectangle(const Brush& brush, float x, float y, float width, float height) {
  return keepStatus(dll::GdipFillRectangle(graphics(), handleOf<GpBrush>(brush), x, y, width, height));
}

bool Graphics::FillPath(const Brush& brush, const GraphicsPath& path) {
  return keepStatus(dll::GdipFillPath(graphics(), handleOf<GpBrush>(brush), handleOf<GpPath>(path)));
}

bool Graphics::DrawString(const Text& text, const Font& font, const Brush& brush, const RectF& layout,
                          const StringFormat& format) {
  std::wstring wide = toWide(text);
  return keepStatus(dll::GdipDrawString(graphics(), wide.c_str(), static_cast<INT>(wide.size()), handleOf<GpFont>(font),
                                        &layout, handleOf<GpStringFormat>(format), handleOf<GpBrush>(brush)));
}

bool Graphics::MeasureString(const Text& text, const Font& font, const RectF& layout, const StringFormat& format,
                             RectF& bounds) {
  std::wstring wide = toWide(text);
  return keepStatus(dll::GdipMeasureString(graphics(), wide.c_str(), static_cast<INT>(wide.size()),
                                           handleOf<GpFont>(font), &layout, handleOf<GpStringFormat>(format), &bounds,
                                           nullptr, nullptr));
}

bool Graphics::DrawImage(const Image& image, float x, float y) {
  return keepStatus(dll::GdipDrawImage(graphics(), handleOf<GpImage>(image), x, y));
}

bool Graphics::DrawImageRect(const Image& image, float x, float y, float width, float height,
                             Gdiplus::Unit sourceUnit) {
  // The image's own size is read first, so lastStatus ends with the drawing's status.
  float sourceWidth = static_cast<float>(image.GetWidth());
  float sourceHeight = static_cast<float>(image.GetHeight());
  return keepStatus(dll::GdipDrawImageRectRect(graphics(), handleOf<GpImage>(image), x, y, width, height, 0, 0,
                                               sourceWidth, sourceHeight, sourceUnit, nullptr, nullptr, nullptr));
}

bool Graphics::SetClipPath(const GraphicsPath& path, Gdiplus::CombineMode mode) {
  return keepStatus(dll::GdipSetClipPath(graphics(), handleOf<GpPath>(path), mode));
}

bool Graphics::SetClipRect(float x, float y, float width, float height, Gdiplus::CombineMode mode) {
  return keepStatus(dll::GdipSetClipRect(graphics(), x, y, width, height, mode));
}

bool Graphics::ResetClip() {
  return keepStatus(dll::GdipResetClip(graphics()));
}

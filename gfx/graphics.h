#pragma once
// A GDI+ drawing surface over a device context or an image.
#include "gfx/gdiObject.h"
#include "gfx/wideText.h"

class Brush;
class Font;
class GraphicsPath;
class Image;
class Pen;
class StringFormat;

class Graphics : public GdiObject {
 public:
  Graphics() = default;
  Graphics(Graphics&&) noexcept = default;
  ~Graphics() override { Delete(); }

  bool Delete() override;
  // With a device handle GdipCreateFromHDC2, else GdipCreateFromHDC.
  bool FromHDC(HDC hdc, HANDLE device = nullptr);
  bool FromImage(const Image& image);

  bool SetCompositingQuality(Gdiplus::CompositingQuality mode);
  bool SetInterpolationMode(Gdiplus::InterpolationMode mode);
  bool SetSmoothingMode(Gdiplus::SmoothingMode mode);
  bool SetPixelOffsetMode(Gdiplus::PixelOffsetMode mode);

  bool DrawLine(const Pen& pen, float x1, float y1, float x2, float y2);
  bool DrawRectangle(const Pen& pen, float x, float y, float width, float height);
  bool DrawPath(const Pen& pen, const GraphicsPath& path);
  bool Clear(Argb colour);
  bool FillRectangle(const Brush& brush, float x, float y, float width, float height);
  bool FillPath(const Brush& brush, const GraphicsPath& path);

  // The text is GBK; an unbound format draws with GDI+'s default format.
  bool DrawString(const Text& text, const Font& font, const Brush& brush, const RectF& layout,
                  const StringFormat& format);
  bool MeasureString(const Text& text, const Font& font, const RectF& layout, const StringFormat& format,
                     RectF& bounds);

  // The image at its natural size.
  bool DrawImage(const Image& image, float x, float y);
  // The whole image scaled into the rectangle; the source is measured in sourceUnit.
  bool DrawImageRect(const Image& image, float x, float y, float width, float height,
                     Gdiplus::Unit sourceUnit = Gdiplus::UnitPixel);

  bool SetClipPath(const GraphicsPath& path, Gdiplus::CombineMode mode);
  bool SetClipRect(float x, float y, float width, float height, Gdiplus::CombineMode mode);
  bool ResetClip();

 private:
  Gdiplus::GpGraphics* graphics() const { return nativeAs<Gdiplus::GpGraphics>(); }
};

#pragma once
// A GDI+ path: the figures that the skin fills, strokes and clips with.
#include "gfx/gdiObject.h"

class GraphicsPath : public GdiObject {
 public:
  GraphicsPath() = default;
  GraphicsPath(GraphicsPath&&) noexcept = default;
  ~GraphicsPath() override { Delete(); }

  bool Delete() override;
  bool Create(Gdiplus::FillMode mode = Gdiplus::FillModeAlternate);
  bool Reset();
  bool CloseFigure();
  bool AddLine(float x1, float y1, float x2, float y2);
  bool AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle);
  bool AddRectangle(float x, float y, float width, float height);
  bool AddEllipse(float x, float y, float width, float height);

 private:
  Gdiplus::GpPath* path() const { return nativeAs<Gdiplus::GpPath>(); }
};

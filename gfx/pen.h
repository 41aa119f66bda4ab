#pragma once
// A GDI+ pen, of one colour or painted with a brush.
#include "gfx/gdiObject.h"

class Brush;

class Pen : public GdiObject {
 public:
  Pen() = default;
  Pen(Pen&&) noexcept = default;
  ~Pen() override { Delete(); }

  bool Delete() override;
  bool Create(Argb colour, float width, Gdiplus::Unit unit = Gdiplus::UnitWorld);
  bool CreateFromBrush(const Brush& brush, float width, Gdiplus::Unit unit = Gdiplus::UnitWorld);
  bool SetWidth(float width);
};

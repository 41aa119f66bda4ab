#include "gfx/pen.h"

#include "gfx/brush.h"

using Gdiplus::GpBrush;
using Gdiplus::GpPen;

bool Pen::Delete() {
  return deleteWith<GpPen>(dll::GdipDeletePen);
}

bool Pen::Create(Argb colour, float width, Gdiplus::Unit unit) {
  return create<GpPen>([&](GpPen** out) { return dll::GdipCreatePen1(colour, width, unit, out); });
}

bool Pen::CreateFromBrush(const Brush& brush, float width, Gdiplus::Unit unit) {
  return create<GpPen>([&](GpPen** out) { return dll::GdipCreatePen2(handleOf<GpBrush>(brush), width, unit, out); });
}

bool Pen::SetWidth(float width) {
  return keepStatus(dll::GdipSetPenWidth(nativeAs<GpPen>(), width));
}

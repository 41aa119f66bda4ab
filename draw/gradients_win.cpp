#include "draw/gradients.h"

#include "gfx/brush.h"

namespace {
// GDI+ tiles a linear gradient beyond its end points, so the last row of a fill that ends exactly
// at the second point can pick up the first colour again; the line reaches half a pixel past both
// edges instead.
constexpr float kGradientOverhang = 0.5f;

bool makeVerticalGradient(LinearGradientBrush& brush, float x, float top, float bottom, Argb colour1, Argb colour2) {
  if (bottom <= top) return false;
  return brush.Create(PointF(x, top - kGradientOverhang), PointF(x, bottom + kGradientOverhang), colour1, colour2);
}
}  // namespace

void fillVerticalGradient(Graphics& graphics, float x, float y, float width, float height, Argb colour1, Argb colour2) {
  LinearGradientBrush brush;
  if (makeVerticalGradient(brush, x, y, y + height, colour1, colour2))
    graphics.FillRectangle(brush, x, y, width, height);
}

void fillPathVerticalGradient(Graphics& graphics, const GraphicsPath& path, float top, float bottom, Argb colour1,
                              Argb colour2) {
  LinearGradientBrush brush;
  if (makeVerticalGradient(brush, 0, top, bottom, colour1, colour2)) graphics.FillPath(brush, path);
}

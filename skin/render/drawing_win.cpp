// Colour conversion, the rounded path shapes, the glow outline and the gradient fills.
#include <algorithm>

#include "skin/render/drawing.h"

Argb toArgb(COLORREF colour, int alpha, bool useAlpha) {
  Argb red = GetRValue(colour);
  Argb green = GetGValue(colour);
  Argb blue = GetBValue(colour);
  Argb a = useAlpha ? static_cast<Argb>(alpha & 0xFF) : 0xFFu;
  return (a << 24) | (red << 16) | (green << 8) | blue;
}

namespace {
constexpr float kSmallestCorner = 1;
constexpr float kLargestCorner = 100;
}  // namespace

void addRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner) {
  float e = std::clamp(corner, kSmallestCorner, kLargestCorner);
  path.AddArc(x + width - e, y, e, e, 270, 90);
  path.AddArc(x + width - e - 1, y + height - e - 1, e + 1, e + 1, 0, 90);
  path.AddArc(x, y + height - e, e, e, 90, 90);
  path.AddArc(x, y, e, e, 180, 90);
  path.CloseFigure();
}

void addTopRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner) {
  float e = corner;
  path.AddLine(x, y + height, x, y + e);
  path.AddArc(x, y, e, e, 180, 90);
  path.AddLine(x + e, y, x + width - e, y);
  path.AddArc(x + width - e, y, e, e, 270, 90);
  path.AddLine(x + width, y + e, x + width, y + height);
}

void drawGlow(Graphics& graphics, const GraphicsPath& path, int rings, COLORREF colour, int alpha) {
  Pen pen;
  pen.Create(toArgb(colour, alpha), 1);
  for (int width = 1; width <= rings; ++width) {
    pen.SetWidth(static_cast<float>(width));
    graphics.DrawPath(pen, path);
  }
}

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

#include "draw/paths.h"

#include <algorithm>

#include "draw/colour.h"
#include "gfx/pen.h"

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

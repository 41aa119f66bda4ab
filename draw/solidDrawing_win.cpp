#include "draw/solidDrawing.h"

#include "draw/paths.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "gfx/pen.h"

void fillPathSolid(Graphics& graphics, const GraphicsPath& path, Argb colour) {
  SolidBrush brush;
  brush.Create(colour);
  graphics.FillPath(brush, path);
}

void fillRectangleSolid(Graphics& graphics, float x, float y, float width, float height, Argb colour) {
  SolidBrush brush;
  brush.Create(colour);
  graphics.FillRectangle(brush, x, y, width, height);
}

void strokePathSolid(Graphics& graphics, const GraphicsPath& path, Argb colour, float penWidth) {
  Pen pen;
  pen.Create(colour, penWidth);
  graphics.DrawPath(pen, path);
}

void strokeRectangleSolid(Graphics& graphics, float x, float y, float width, float height, Argb colour,
                          float penWidth) {
  Pen pen;
  pen.Create(colour, penWidth);
  graphics.DrawRectangle(pen, x, y, width, height);
}

void fillPathGradient(Graphics& graphics, const GraphicsPath& path, PointF point1, PointF point2, Argb colour1,
                      Argb colour2) {
  LinearGradientBrush brush;
  brush.Create(point1, point2, colour1, colour2);
  graphics.FillPath(brush, path);
}

GraphicsPath roundedRectanglePath(float x, float y, float width, float height, float corner) {
  GraphicsPath path;
  path.Create();
  addRoundedRectangle(path, x, y, width, height, corner);
  return path;
}

GraphicsPath topRoundedRectanglePath(float x, float y, float width, float height, float corner) {
  GraphicsPath path;
  path.Create();
  addTopRoundedRectangle(path, x, y, width, height, corner);
  return path;
}

GraphicsPath rectanglePath(float x, float y, float width, float height) {
  GraphicsPath path;
  path.Create();
  path.AddRectangle(x, y, width, height);
  return path;
}

GraphicsPath ellipsePath(float x, float y, float width, float height) {
  GraphicsPath path;
  path.Create();
  path.AddEllipse(x, y, width, height);
  return path;
}

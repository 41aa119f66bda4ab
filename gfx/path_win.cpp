#include "gfx/path.h"

using Gdiplus::GpPath;

bool GraphicsPath::Delete() {
  return deleteWith<GpPath>(dll::GdipDeletePath);
}

bool GraphicsPath::Create(Gdiplus::FillMode mode) {
  return create<GpPath>([&](GpPath** out) { return dll::GdipCreatePath(mode, out); });
}

bool GraphicsPath::Reset() {
  return keepStatus(dll::GdipResetPath(path()));
}

bool GraphicsPath::CloseFigure() {
  return keepStatus(dll::GdipClosePathFigure(path()));
}

bool GraphicsPath::AddLine(float x1, float y1, float x2, float y2) {
  return keepStatus(dll::GdipAddPathLine(path(), x1, y1, x2, y2));
}

bool GraphicsPath::AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle) {
  return keepStatus(dll::GdipAddPathArc(path(), x, y, width, height, startAngle, sweepAngle));
}

bool GraphicsPath::AddRectangle(float x, float y, float width, float height) {
  return keepStatus(dll::GdipAddPathRectangle(path(), x, y, width, height));
}

bool GraphicsPath::AddEllipse(float x, float y, float width, float height) {
  return keepStatus(dll::GdipAddPathEllipse(path(), x, y, width, height));
}

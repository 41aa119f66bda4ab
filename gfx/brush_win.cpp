#include "gfx/brush.h"

#include "gfx/path.h"

using Gdiplus::GpBrush;
using Gdiplus::GpLineGradient;
using Gdiplus::GpPath;
using Gdiplus::GpPathGradient;
using Gdiplus::GpSolidFill;

bool Brush::Delete() {
  return deleteWith<GpBrush>(dll::GdipDeleteBrush);
}

bool SolidBrush::Create(Argb colour) {
  return create<GpSolidFill>([&](GpSolidFill** out) { return dll::GdipCreateSolidFill(colour, out); });
}

bool LinearGradientBrush::Create(const PointF& point1, const PointF& point2, Argb colour1, Argb colour2) {
  return create<GpLineGradient>([&](GpLineGradient** out) {
    return dll::GdipCreateLineBrush(&point1, &point2, colour1, colour2, Gdiplus::WrapModeTile, out);
  });
}

bool LinearGradientBrush::SetPresetBlend(std::span<const Argb> colours, std::span<const float> positions) {
  // GDI+ reads as many positions as colours.
  if (positions.size() != colours.size()) return keepStatus(Gdiplus::InvalidParameter);
  return keepStatus(
      dll::GdipSetLinePresetBlend(line(), colours.data(), positions.data(), static_cast<INT>(colours.size())));
}

bool LinearGradientBrush::SetLinearBlend(float focus, float scale) {
  return keepStatus(dll::GdipSetLineLinearBlend(line(), focus, scale));
}

bool PathGradientBrush::CreateFromPath(const GraphicsPath& path) {
  return create<GpPathGradient>(
      [&](GpPathGradient** out) { return dll::GdipCreatePathGradientFromPath(handleOf<GpPath>(path), out); });
}

bool PathGradientBrush::SetCenterColor(Argb colour) {
  return keepStatus(dll::GdipSetPathGradientCenterColor(gradient(), colour));
}

bool PathGradientBrush::SetSurroundColors(std::span<const Argb> colours, int* count) {
  INT passed = count ? *count : static_cast<INT>(colours.size());
  // GDI+ would read past the colours given.
  if (passed > static_cast<INT>(colours.size())) return keepStatus(Gdiplus::InvalidParameter);
  bool ok = keepStatus(dll::GdipSetPathGradientSurroundColorsWithCount(gradient(), colours.data(), &passed));
  if (count) *count = passed;
  return ok;
}

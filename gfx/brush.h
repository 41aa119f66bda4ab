#pragma once
// GDI+ brushes: the shared base and the solid, linear-gradient and path-gradient kinds.
#include <span>

#include "gfx/gdiObject.h"

class GraphicsPath;

// Every brush is deleted with GdipDeleteBrush; the kinds differ in how they are made and tuned.
class Brush : public GdiObject {
 public:
  Brush(Brush&&) noexcept = default;
  ~Brush() override { Delete(); }

  bool Delete() override;

 protected:
  Brush() = default;
};

class SolidBrush : public Brush {
 public:
  SolidBrush() = default;
  SolidBrush(SolidBrush&&) noexcept = default;

  bool Create(Argb colour);
};

class LinearGradientBrush : public Brush {
 public:
  LinearGradientBrush() = default;
  LinearGradientBrush(LinearGradientBrush&&) noexcept = default;

  // From colour1 at point1 to colour2 at point2, tiled beyond them.
  bool Create(const PointF& point1, const PointF& point2, Argb colour1, Argb colour2);
  // One position (0..1 along the line) per colour; the count passed is the number of colours.
  bool SetPresetBlend(std::span<const Argb> colours, std::span<const float> positions);
  bool SetLinearBlend(float focus, float scale);

 private:
  Gdiplus::GpLineGradient* line() const { return nativeAs<Gdiplus::GpLineGradient>(); }
};

class PathGradientBrush : public Brush {
 public:
  PathGradientBrush() = default;
  PathGradientBrush(PathGradientBrush&&) noexcept = default;

  bool CreateFromPath(const GraphicsPath& path);
  bool SetCenterColor(Argb colour);
  // Colours for the path's points. count, when given, says how many to pass (at most the number
  // of colours) and receives the count GDI+ accepted; left out, all the colours are passed.
  bool SetSurroundColors(std::span<const Argb> colours, int* count = nullptr);

 private:
  Gdiplus::GpPathGradient* gradient() const { return nativeAs<Gdiplus::GpPathGradient>(); }
};

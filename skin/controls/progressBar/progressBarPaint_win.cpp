// The progress bar painter.
#include "draw/colour.h"
#include "draw/paths.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "skin/controls/progressBar/progressBar.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr float kFrameCorner = 5;
constexpr float kBodyCorner = 1;
constexpr float kFillCorner = 3;
// GDI+ tiles a gradient beyond its end points; half a pixel past both keeps the last row from
// picking up the first colour again.
constexpr float kGradientOverhang = 0.5f;

void fillPath(Graphics& graphics, const GraphicsPath& path, PointF from, PointF to, Argb colour1, Argb colour2) {
  bool across = to.X != from.X;
  PointF overhang(across ? kGradientOverhang : 0, across ? 0 : kGradientOverhang);
  LinearGradientBrush brush;
  if (brush.Create(from - overhang, to + overhang, colour1, colour2)) graphics.FillPath(brush, path);
}

void roundedPath(GraphicsPath& path, float x, float y, float width, float height, float corner) {
  path.Create();
  addRoundedRectangle(path, x, y, width, height, corner);
}

void drawBody(Graphics& graphics, float w, float h, bool vertical) {
  GraphicsPath frame;
  roundedPath(frame, 0, 0, w - 1, h - 1, kFrameCorner);
  Pen pen;
  pen.Create(toArgb(kBlack, 50), 1);
  graphics.DrawPath(pen, frame);

  GraphicsPath body;
  roundedPath(body, 1, 1, w - 2, h - 2, kBodyCorner);
  fillPath(graphics, body, PointF(0, 0), vertical ? PointF(w - 1, 0) : PointF(0, h - 1), toArgb(kWhite, 160),
           toArgb(kBlack, 30));
}

void drawFill(Graphics& graphics, const RectF& part, bool vertical) {
  COLORREF accent = skinEngine().settings().accentColour;
  GraphicsPath path;
  roundedPath(path, part.X + 1, part.Y + 1, part.Width - 3, part.Height - 3, kFillCorner);
  PointF from(part.X, part.Y);
  PointF to = vertical ? PointF(part.X + part.Width, part.Y) : PointF(part.X, part.Y + part.Height);
  fillPath(graphics, path, from, to, toArgb(kWhite, 90), toArgb(accent, 255));
  Pen pen;
  pen.Create(toArgb(accent, 150), 1);
  graphics.DrawPath(pen, path);
}
}  // namespace

int progressFillLength(int barLength, int low, int high, int position) {
  if (high == low) return 0;
  return static_cast<int>(static_cast<double>(barLength) / (high - low) * position);
}

void paintProgressBar(int recordIndex, int listIndex, HDC dc) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->progressBars.count()) return;
  const ProgressBarRecord control = owner->controls->progressBars[listIndex];
  bool vertical = control.vertical != 0;
  RECT placed;
  dll::GetWindowRect(control.window, &placed);
  int w = placed.right - placed.left;
  int h = placed.bottom - placed.top;
  int position = static_cast<int>(dll::SendMessageA(control.window, PBM_GETPOS, 0, 0));
  PBRANGE range{};
  dll::SendMessageA(control.window, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  int filled = progressFillLength(vertical ? h : w, range.iLow, range.iHigh, position);

  BackBuffer buffer(control.window, RECT{0, 0, w, h});
  if (!buffer.dc()) return;
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    auto fw = static_cast<float>(w);
    auto fh = static_cast<float>(h);
    drawBody(graphics, fw, fh, vertical);
    if (filled > 0) {
      auto length = static_cast<float>(filled);
      drawFill(graphics, vertical ? RectF(0, fh - length, fw, length) : RectF(0, 0, length, fh), vertical);
    }
  }
  if (dc) {
    dll::BitBlt(dc, 0, 0, w, h, buffer.dc(), 0, 0, SRCCOPY);
    return;
  }
  WindowDc target(control.window, WindowDc::kWholeWindow);
  dll::BitBlt(target.get(), 0, 0, w, h, buffer.dc(), 0, 0, SRCCOPY);
}

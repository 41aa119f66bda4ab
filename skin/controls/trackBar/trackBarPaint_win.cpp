// The track bar painter. It is written for a horizontal bar, in coordinates along and across the
// bar; a vertical bar exchanges x and y on the way into the buffer.
#include "draw/colour.h"
#include "draw/paths.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/trackBar/trackBar.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr float kFrameCorner = 5;
constexpr float kFillCorner = 3;
constexpr float kChannelCorner = 1;
constexpr int kSelectionBarThickness = 4;
constexpr float kHotThumb = 11;
constexpr float kThumbDot = 4;
constexpr float kHotThumbLift = 4;
constexpr float kDotLift = 0.5f;
constexpr float kDotShiftAtMaximum = 8;  // at the end the dot would sit left of the line's end
constexpr float kLineExtraAtMaximum = 10;
// GDI+ tiles a gradient beyond its end points; half a pixel past both keeps the last row from
// picking up the first colour again.
constexpr float kGradientOverhang = 0.5f;

enum TickPlacement : int { kTicksOnTop = 0, kTicksBoth = 2 };

struct Axes {
  bool vertical;

  PointF point(float along, float across) const { return vertical ? PointF(across, along) : PointF(along, across); }
  RectF box(float along, float across, float length, float thickness) const {
    return vertical ? RectF(across, along, thickness, length) : RectF(along, across, length, thickness);
  }
  // A rectangle reported by the control, as along (left, right) and across (top, bottom).
  RECT alongAcross(const RECT& rect) const {
    return vertical ? RECT{rect.top, rect.left, rect.bottom, rect.right} : rect;
  }
};

// The geometry the control reports, along and across the bar.
struct Reported {
  int position;
  int maximum;
  RECT channel;
  RECT thumb;
  int selectionStart;
  int selectionEnd;
};

Reported readTrackBar(HWND window, const Axes& axes) {
  Reported reported{};
  reported.position = static_cast<int>(dll::SendMessageA(window, TBM_GETPOS, 0, 0));
  reported.maximum = static_cast<int>(dll::SendMessageA(window, TBM_GETRANGEMAX, 0, 0));
  reported.selectionStart = static_cast<int>(dll::SendMessageA(window, TBM_GETSELSTART, 0, 0));
  reported.selectionEnd = static_cast<int>(dll::SendMessageA(window, TBM_GETSELEND, 0, 0));
  RECT channel{};
  dll::SendMessageA(window, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  // The system reports a vertical bar's channel lying down already; read it as given when it is
  // longer across than along, and turn it otherwise.
  bool lyingDown = channel.right - channel.left > channel.bottom - channel.top;
  reported.channel = axes.vertical && !lyingDown ? axes.alongAcross(channel) : channel;
  RECT thumb{};
  dll::SendMessageA(window, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  reported.thumb = axes.alongAcross(thumb);
  return reported;
}

void fillAcross(Graphics& graphics, const Axes& axes, const GraphicsPath& path, float along, float from, float to,
                Argb colour1, Argb colour2) {
  LinearGradientBrush brush;
  if (brush.Create(axes.point(along, from - kGradientOverhang), axes.point(along, to + kGradientOverhang), colour1,
                   colour2))
    graphics.FillPath(brush, path);
}

void strokeBox(Graphics& graphics, const RectF& box, Argb colour) {
  Pen pen;
  pen.Create(colour, 1);
  graphics.DrawRectangle(pen, box.X, box.Y, box.Width, box.Height);
}

void drawFrame(Graphics& graphics, const Axes& axes, float length, float thickness) {
  GraphicsPath outline;
  outline.Create();
  RectF outer = axes.box(0, 0, length - 1, thickness - 1);
  addRoundedRectangle(outline, outer.X, outer.Y, outer.Width, outer.Height, kFrameCorner);
  Pen pen;
  pen.Create(toArgb(kBlack, 30), 1);
  graphics.DrawPath(pen, outline);

  GraphicsPath body;
  body.Create();
  RectF inner = axes.box(1, 1, length - 2, thickness - 2);
  addRoundedRectangle(body, inner.X, inner.Y, inner.Width, inner.Height, kFillCorner);
  fillAcross(graphics, axes, body, 0, 0, thickness - 1, toArgb(kWhite, 160), toArgb(kBlack, 30));
}

// The bar's top edge (across), where the thumb and the lines are placed.
float selectionBarTop(const RECT& channel) {
  return static_cast<float>(channel.top + (channel.bottom - channel.top - kSelectionBarThickness) / 2);
}

float drawChannel(Graphics& graphics, const Axes& axes, const RECT& channel, bool selectionRange) {
  float top = selectionRange ? selectionBarTop(channel) : static_cast<float>(channel.top);
  float thickness = selectionRange ? kSelectionBarThickness : static_cast<float>(channel.bottom - channel.top);
  RectF bar =
      axes.box(static_cast<float>(channel.left), top, static_cast<float>(channel.right - channel.left), thickness);
  GraphicsPath path;
  path.Create();
  addRoundedRectangle(path, bar.X, bar.Y, bar.Width, bar.Height, kChannelCorner);
  fillAcross(graphics, axes, path, static_cast<float>(channel.left), top, top + thickness, toArgb(kBlack, 50),
             toArgb(kBlack, 30));
  return top;
}

void drawThumb(Graphics& graphics, const Axes& axes, const Reported& reported, float barTop, bool hot,
               int tickPlacement) {
  auto left = static_cast<float>(reported.thumb.left);
  float across;
  float size;
  if (hot) {
    size = kHotThumb;
    across = barTop - kHotThumbLift + (tickPlacement == kTicksOnTop ? 2 : tickPlacement == kTicksBoth ? 1 : 0);
  } else {
    size = kThumbDot;
    across = barTop - kDotLift;
    if (reported.position == reported.maximum) left += kDotShiftAtMaximum;
  }
  RectF box = axes.box(left, across, size, size);
  GraphicsPath ellipse;
  ellipse.Create();
  ellipse.AddEllipse(box.X, box.Y, box.Width, box.Height);
  SolidBrush white;
  white.Create(toArgb(kWhite, 255, false));
  graphics.FillPath(white, ellipse);
  auto channelLength = static_cast<float>(reported.channel.right - reported.channel.left);
  fillAcross(graphics, axes, ellipse, left, across, across + channelLength, toArgb(kWhite, 0), toArgb(kBlack, 90));
  Pen outline;
  outline.Create(toArgb(kBlack, 50), 1);
  graphics.DrawPath(outline, ellipse);
}

void drawSelection(Graphics& graphics, const Axes& axes, const Reported& reported) {
  if (reported.maximum == 0) return;
  const RECT& channel = reported.channel;
  float length = static_cast<float>(reported.selectionEnd - reported.selectionStart) *
                 static_cast<float>(channel.right - channel.left) / static_cast<float>(reported.maximum);
  RectF box =
      axes.box(static_cast<float>(reported.selectionStart + channel.left - 1), selectionBarTop(channel) + 1, length, 1);
  strokeBox(graphics, box, toArgb(kWhite, 160));
}

void drawProgressLine(Graphics& graphics, const Axes& axes, const Reported& reported, bool selectionRange) {
  const RECT& channel = reported.channel;
  float across = selectionRange ? selectionBarTop(channel) + 1 : static_cast<float>(channel.top + 1);
  auto length = static_cast<float>(reported.thumb.left - channel.left - 1);
  if (reported.position == reported.maximum) length += kLineExtraAtMaximum;
  RectF box = axes.box(static_cast<float>(channel.left), across, length, 1);
  strokeBox(graphics, box, toArgb(skinEngine().settings().accentColour, 200));
}
}  // namespace

void paintTrackBar(int recordIndex, int listIndex, std::optional<bool> hot) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->trackBars.count()) return;
  const TrackBarRecord control = owner->controls->trackBars[listIndex];
  RECT placed;
  dll::GetWindowRect(control.window, &placed);
  int w = placed.right - placed.left;
  int h = placed.bottom - placed.top;
  Axes axes{control.vertical != 0};
  Reported reported = readTrackBar(control.window, axes);

  BackBuffer buffer(control.window, RECT{0, 0, w, h});
  if (!buffer.dc()) return;
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    auto length = static_cast<float>(axes.vertical ? h : w);
    auto thickness = static_cast<float>(axes.vertical ? w : h);
    if (skinEngine().settings().controlOption2) drawFrame(graphics, axes, length, thickness);
    float barTop = drawChannel(graphics, axes, reported.channel, control.selectionRange != 0);
    drawThumb(graphics, axes, reported, barTop, hot.value_or(control.hot != 0), control.tickPlacement);
    if (control.selectionRange) drawSelection(graphics, axes, reported);
    drawProgressLine(graphics, axes, reported, control.selectionRange != 0);
  }
  WindowDc target(control.window, WindowDc::kWholeWindow);
  dll::BitBlt(target.get(), 0, 0, w, h, buffer.dc(), 0, 0, SRCCOPY);
}

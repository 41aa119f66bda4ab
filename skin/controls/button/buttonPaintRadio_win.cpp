#include "draw/colour.h"
#include "draw/paths.h"
#include "draw/solidDrawing.h"
#include "gfx/brush.h"
#include "skin/controls/button/button.h"
#include "skin/controls/button/buttonPaint.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"

namespace {
constexpr int kRingAlpha = 200;
constexpr int kShadeAlpha = 100;
constexpr int kHotAlpha = 100;
constexpr int kGlowRings = 2;
constexpr int kGlowAlpha = 30;
constexpr int kDotCentreAlpha = 100;
constexpr COLORREF kDotSurround = RGB(0, 128, 128);
constexpr float kCaptionIndent = 18;

void drawDot(Graphics& graphics, float left, float ringTop) {
  GraphicsPath dot = ellipsePath(left + 5, ringTop + 3, 6, 6);
  strokePathSolid(graphics, dot, toArgb(kBlack, kRingAlpha));
  PathGradientBrush brush;
  brush.CreateFromPath(dot);
  brush.SetCenterColor(toArgb(kWhite, kDotCentreAlpha));
  Argb surround[] = {toArgb(kDotSurround, 255)};
  brush.SetSurroundColors(surround);
  graphics.FillPath(brush, dot);
}

void drawRadioBody(Graphics& graphics, HWND button, UINT state, float left, float top, int height) {
  // ringTop is Y of the ring; the inner disc is placed by its own rounding of the height.
  float ringTop = top + static_cast<float>((height - 12) / 2);
  GraphicsPath ring = ellipsePath(left + 2, ringTop, 12, 12);
  strokePathSolid(graphics, ring, toArgb(kBlack, kRingAlpha));
  GraphicsPath disc = ellipsePath(left + 3, top + static_cast<float>((height - 11) / 2 + 1), 9, 9);
  strokePathSolid(graphics, disc, toArgb(kWhite, 255));
  fillPathSolid(graphics, disc, toArgb(kWhite, 255));
  fillPathGradient(graphics, disc, PointF(left + 3, ringTop + 1), PointF(left + 10, ringTop + 11),
                   toArgb(kBlack, kShadeAlpha), toArgb(kBlack, 0));
  if (state & kStateHot) {
    fillPathGradient(graphics, disc, PointF(left + 3, ringTop + 1), PointF(left + 11, ringTop + 12),
                     toArgb(skinEngine().settings().accentColour, kHotAlpha), 0);
    drawGlow(graphics, disc, kGlowRings, kGlowColour, kGlowAlpha);
  }
  if (dll::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) drawDot(graphics, left, ringTop);
}
}  // namespace

void paintRadioButton(HWND button, HDC dc, UINT state, const RECT& client) {
  ButtonCanvas canvas(button, client);
  Graphics& graphics = canvas.graphics();
  float left = static_cast<float>(client.left);
  float top = static_cast<float>(client.top);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  if (state & kStateDisabled) {
    drawDisabledBody(graphics, client, buttonOutlinePath(client));
  } else {
    drawRadioBody(graphics, button, state, left, top, canvas.height());
  }
  canvas.drawCaption(
      RectF(left + kCaptionIndent, 2, static_cast<float>(canvas.width()), static_cast<float>(canvas.height())),
      Gdiplus::StringAlignmentNear, Gdiplus::UnitPixel);
  canvas.copyTo(dc);
}

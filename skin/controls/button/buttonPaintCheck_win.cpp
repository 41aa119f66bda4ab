#include "draw/colour.h"
#include "draw/paths.h"
#include "draw/solidDrawing.h"
#include "gfx/image.h"
#include "resources/pictures.h"
#include "skin/controls/button/button.h"
#include "skin/controls/button/buttonPaint.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"

namespace {
constexpr int kGlyphSize = 13;  // the frame and mark pictures
constexpr int kHotAlpha = 100;
constexpr int kGlowRings = 2;
constexpr int kGlowAlpha = 30;
constexpr float kCaptionIndent = 17;

// The picture decoded for this paint; a picture that does not decode is left out.
void drawPicture(Graphics& graphics, const EmbeddedBytes& picture, float x, float y) {
  Image image;
  if (image.LoadFromBytes(picture.begin(), static_cast<std::size_t>(picture.count))) graphics.DrawImage(image, x, y);
}

void drawHotGlyph(Graphics& graphics, float left, float top, float glyphTop, int height) {
  GraphicsPath glyph = rectanglePath(left, glyphTop, kGlyphSize, kGlyphSize);
  PointF from(left + 3, top + static_cast<float>((height - 12) / 2 + 1));
  PointF to(from.X + 11, from.Y + 11);
  fillPathGradient(graphics, glyph, from, to, toArgb(skinEngine().settings().accentColour, kHotAlpha), 0);
  drawGlow(graphics, glyph, kGlowRings, kGlowColour, kGlowAlpha);
}
}  // namespace

void paintCheckBox(HWND button, HDC dc, UINT state, const RECT& client) {
  ButtonCanvas canvas(button, client);
  Graphics& graphics = canvas.graphics();
  float left = static_cast<float>(client.left);
  float top = static_cast<float>(client.top);
  int height = canvas.height();
  float glyphTop = top + static_cast<float>((height - kGlyphSize) / 2);
  if (state & kStateDisabled) {
    drawDisabledBody(graphics, client, buttonOutlinePath(client));
  } else {
    drawPicture(graphics, qv_picture_checkFrame, left, glyphTop);
    if (dll::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
      drawPicture(graphics, qv_picture_checkMark, left, glyphTop);
    if (state & kStateHot) drawHotGlyph(graphics, left, top, glyphTop, height);
  }
  canvas.drawCaption(
      RectF(left + kCaptionIndent, 2, static_cast<float>(canvas.width() - 19), static_cast<float>(height)),
      Gdiplus::StringAlignmentNear, Gdiplus::UnitPixel);
  canvas.copyTo(dc);
}

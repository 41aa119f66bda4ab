// The up-down painter and its hit test.
#include "draw/colour.h"
#include "draw/gradients.h"
#include "draw/paths.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "resources/pictures.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/controls/upDown/upDown.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr float kCorner = 3;
constexpr int kBodyAlpha = 160;
constexpr int kHotOutlineAlpha = 200;
constexpr int kPlainOutlineAlpha = 100;
constexpr int kFirstHalfTopAlpha = 20;
constexpr int kSecondHalfTopAlpha = 60;
constexpr int kAccentBottomAlpha = 100;

struct Half {
  RectF box;
  const EmbeddedBytes* arrow;
  bool lit;  // hot and under the mouse
};

void roundedPath(GraphicsPath& path, float x, float y, float width, float height) {
  path.Create();
  addRoundedRectangle(path, x, y, width, height, kCorner);
}

void drawArrow(Graphics& graphics, const RectF& half, const EmbeddedBytes& bytes) {
  Image arrow;
  if (!arrow.LoadFromBytes(bytes.begin(), static_cast<size_t>(bytes.count))) return;
  // Whole pixels, as the halves are: a glyph between pixels would be blurred.
  auto x = static_cast<float>(static_cast<int>(half.Width - static_cast<float>(arrow.GetWidth())) / 2);
  auto y = static_cast<float>(static_cast<int>(half.Height - static_cast<float>(arrow.GetHeight())) / 2);
  graphics.DrawImage(arrow, half.X + x, half.Y + y);
}

void drawHalf(Graphics& graphics, const Half& half, int topAlpha, bool pressed) {
  COLORREF accent = skinEngine().settings().accentColour;
  GraphicsPath path;
  roundedPath(path, half.box.X, half.box.Y, half.box.Width - 1, half.box.Height - 1);
  float top = half.box.Y;
  float bottom = half.box.Y + half.box.Height;
  Pen outline;
  if (half.lit && pressed) {
    fillPathVerticalGradient(graphics, path, top, bottom, toArgb(accent, 100), toArgb(kWhite, 150));
  } else if (half.lit) {
    fillPathVerticalGradient(graphics, path, top, bottom, toArgb(kWhite, 100), toArgb(accent, 150));
  } else {
    fillPathVerticalGradient(graphics, path, top, bottom, toArgb(kWhite, topAlpha), toArgb(accent, kAccentBottomAlpha));
  }
  outline.Create(half.lit ? toArgb(accent, kHotOutlineAlpha) : toArgb(kBlack, kPlainOutlineAlpha), 1);
  graphics.DrawPath(outline, path);
  drawArrow(graphics, half.box, *half.arrow);
}
}  // namespace

int upDownHitTest(int recordIndex, int listIndex, POINT mouse) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->upDowns.count()) return 0;
  const UpDownRecord& control = owner->controls->upDowns[listIndex];
  RECT client;
  dll::GetClientRect(control.window, &client);
  if (control.horizontal) return mouse.x >= client.right / 2 ? 1 : 0;
  return mouse.y >= client.bottom / 2 ? 1 : 0;
}

void paintUpDown(int recordIndex, int listIndex, std::optional<bool> hot) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->upDowns.count()) return;
  const UpDownRecord control = owner->controls->upDowns[listIndex];
  RECT placed;
  dll::GetWindowRect(control.window, &placed);
  int w = placed.right - placed.left;
  int h = placed.bottom - placed.top;
  bool isHot = hot.value_or(control.hot != 0);
  bool across = control.horizontal != 0;

  Half first{across ? RectF(0, 0, static_cast<float>(w / 2), static_cast<float>(h))
                    : RectF(0, 0, static_cast<float>(w), static_cast<float>(h / 2)),
             across ? &qv_picture_arrowLeft : &qv_picture_arrowUp, isHot && control.halfUnderMouse == 0};
  Half second{across ? RectF(static_cast<float>(w / 2), 0, static_cast<float>(w - w / 2), static_cast<float>(h))
                     : RectF(0, static_cast<float>(h / 2), static_cast<float>(w), static_cast<float>(h - h / 2)),
              across ? &qv_picture_arrowRight : &qv_picture_arrowDown, isHot && control.halfUnderMouse == 1};

  BackBuffer buffer(control.window, RECT{0, 0, w, h});
  if (!buffer.dc()) return;
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    GraphicsPath body;
    roundedPath(body, 0, 0, static_cast<float>(w - 1), static_cast<float>(h - 1));
    SolidBrush white;
    white.Create(toArgb(kWhite, kBodyAlpha));
    graphics.FillPath(white, body);
    drawHalf(graphics, first, kFirstHalfTopAlpha, control.pressed != 0);
    drawHalf(graphics, second, kSecondHalfTopAlpha, control.pressed != 0);
  }
  WindowDc target(control.window, WindowDc::kWholeWindow);
  dll::BitBlt(target.get(), 0, 0, w, h, buffer.dc(), 0, 0, SRCCOPY);
}

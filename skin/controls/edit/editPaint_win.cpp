#include "draw/colour.h"
#include "draw/solidDrawing.h"
#include "gdi/deviceContext.h"
#include "gfx/graphics.h"
#include "skin/controls/edit/edit.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr int kScrollBarThickness = 17;  // as the client rectangle in window coordinates counts it
constexpr int kAccentAlpha = 180;
constexpr int kPlainAlpha = 80;
constexpr float kHotPenWidth = 2;

struct Size {
  int width, height;
};

Size windowSize(HWND window) {
  RECT rectangle{};
  dll::GetWindowRect(window, &rectangle);
  return {rectangle.right - rectangle.left, rectangle.bottom - rectangle.top};
}

void drawOutline(Graphics& graphics, Size size, bool focused, bool hot) {
  COLORREF accent = skinEngine().settings().accentColour;
  float width = static_cast<float>(size.width);
  float height = static_cast<float>(size.height);
  if (hot)
    strokeRectangleSolid(graphics, 1, 1, width - 2, height - 2, toArgb(accent, kAccentAlpha), kHotPenWidth);
  else if (focused)
    strokeRectangleSolid(graphics, 0, 0, width - 1, height - 1, toArgb(accent, kAccentAlpha));
  else
    strokeRectangleSolid(graphics, 0, 0, width - 1, height - 1, toArgb(kBlack, kPlainAlpha));
}

void drawRing(HDC buffer, Size size, const RECT& inner, bool focused, bool hot) {
  Graphics graphics;
  graphics.FromHDC(buffer);
  graphics.SetClipRect(0, 0, static_cast<float>(size.width), static_cast<float>(size.height),
                       Gdiplus::CombineModeReplace);
  graphics.SetClipRect(static_cast<float>(inner.left), static_cast<float>(inner.top),
                       static_cast<float>(inner.right - inner.left), static_cast<float>(inner.bottom - inner.top),
                       Gdiplus::CombineModeXor);
  const SkinSettings& settings = skinEngine().settings();
  if (settings.translucencyGiven)
    fillRectangleSolid(graphics, 0, 0, static_cast<float>(size.width), static_cast<float>(size.height),
                       toArgb(kWhite, settings.globalTranslucency));
  else
    graphics.Clear(toArgb(kWhite, 255));
  drawOutline(graphics, size, focused, hot);
}
}  // namespace

RECT editInnerRectangle(HWND edit) {
  RECT inner = clientRectInWindow(edit);
  LONG style = dll::GetWindowLongA(edit, GWL_STYLE);
  if (style & WS_VSCROLL) inner.right += kScrollBarThickness;
  if (style & WS_HSCROLL) inner.bottom += kScrollBarThickness;
  return inner;
}

void drawEditFrame(HWND edit, bool focused, bool hot) {
  if (!skinEngineExists()) return;
  Size size = windowSize(edit);
  RECT inner = editInnerRectangle(edit);
  BackBuffer buffer(edit, RECT{0, 0, size.width, size.height});
  drawRing(buffer.dc(), size, inner, focused, hot);
  WindowDc window(edit, WindowDc::kWholeWindow);
  dll::ExcludeClipRect(window.get(), inner.left, inner.top, inner.right, inner.bottom);
  dll::BitBlt(window.get(), 0, 0, size.width, size.height, buffer.dc(), 0, 0, SRCCOPY);
}

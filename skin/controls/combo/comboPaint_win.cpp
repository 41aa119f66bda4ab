#include "draw/colour.h"
#include "draw/gradients.h"
#include "draw/solidDrawing.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "gfx/stringFormat.h"
#include "resources/pictures.h"
#include "skin/controls/combo/combo.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr int kListButtonWidth = 17;  // CBS_DROPDOWNLIST
constexpr int kEditButtonWidth = 18;  // CBS_DROPDOWN and CBS_SIMPLE
constexpr int kListEdgeCovered = 2;   // a simple combo box's list keeps this much of its edge under the skin
constexpr int kAccentAlpha = 200;
constexpr int kPlainAlpha = 80;
constexpr float kButtonCorner = 4;
constexpr char kTextFamily[] = "宋体";
constexpr float kTextSize = 12;

struct ComboGeometry {
  int width, height;
  int style;  // CBS_SIMPLE, CBS_DROPDOWN or CBS_DROPDOWNLIST
  int buttonLeft, buttonWidth, buttonHeight;
};

ComboGeometry measure(HWND combo) {
  RECT rectangle{};
  dll::GetWindowRect(combo, &rectangle);
  ComboGeometry geometry{};
  geometry.width = rectangle.right - rectangle.left;
  geometry.height = rectangle.bottom - rectangle.top;
  geometry.style = static_cast<int>(dll::GetWindowLongA(combo, GWL_STYLE) & 3);
  geometry.buttonWidth = geometry.style == CBS_DROPDOWNLIST ? kListButtonWidth : kEditButtonWidth;
  geometry.buttonLeft = geometry.width - geometry.buttonWidth - 2;
  geometry.buttonHeight = geometry.height - 4;
  return geometry;
}

void clearToKey(Graphics& graphics, RECT area) {
  graphics.SetClipRect(static_cast<float>(area.left), static_cast<float>(area.top),
                       static_cast<float>(area.right - area.left), static_cast<float>(area.bottom - area.top),
                       Gdiplus::CombineModeReplace);
  graphics.Clear(toArgb(kMagenta, 255));
  graphics.ResetClip();
}

// The children paint themselves: their places become the colour key.
void maskChildren(Graphics& graphics, HWND combo, int style) {
  if (style == CBS_DROPDOWN) {
    if (HWND field = dll::FindWindowExA(combo, nullptr, nullptr, nullptr)) clearToKey(graphics, childRectangle(field));
    return;
  }
  for (HWND child = dll::FindWindowExA(combo, nullptr, nullptr, nullptr); child;
       child = dll::FindWindowExA(combo, child, nullptr, nullptr)) {
    RECT area = childRectangle(child);
    if (hasClass(child, "ComboLBox"))
      area = {area.left + kListEdgeCovered, area.top + kListEdgeCovered, area.right - kListEdgeCovered,
              area.bottom - kListEdgeCovered};
    clearToKey(graphics, area);
  }
}

void drawArrow(Graphics& graphics, const ComboGeometry& geometry) {
  Image arrow;
  if (!arrow.LoadFromBytes(qv_picture_arrowDown.begin(), static_cast<std::size_t>(qv_picture_arrowDown.count))) return;
  float x = static_cast<float>(geometry.buttonLeft + (geometry.buttonWidth - arrow.GetWidth()) / 2);
  float y = static_cast<float>(2 + (geometry.buttonHeight - arrow.GetHeight()) / 2);
  graphics.DrawImage(arrow, x, y);
}

void drawDropButton(Graphics& graphics, const ComboGeometry& geometry, bool hot) {
  COLORREF accent = skinEngine().settings().accentColour;
  float left = static_cast<float>(geometry.buttonLeft);
  float width = static_cast<float>(geometry.buttonWidth);
  float height = static_cast<float>(geometry.buttonHeight);
  GraphicsPath outline = roundedRectanglePath(left, 2, width - 1, height - 1, kButtonCorner);
  strokePathSolid(graphics, outline, hot ? toArgb(accent, kAccentAlpha) : toArgb(kBlack, kPlainAlpha));
  GraphicsPath face = roundedRectanglePath(left + 1, 3, width - 2, height - 2, 1);
  if (hot)
    fillPathVerticalGradient(graphics, face, 2, height, toArgb(kWhite, 100), toArgb(accent, 150));
  else
    fillPathVerticalGradient(graphics, face, 2, height, toArgb(accent, 30), toArgb(accent, 100));
  drawArrow(graphics, geometry);
}

Text windowTextOf(HWND window) {
  int length = dll::GetWindowTextLengthA(window);
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = dll::GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// A drop-down list has no edit field: the skin writes the selection itself.
void drawSelectionText(Graphics& graphics, HWND combo, const ComboGeometry& geometry) {
  SolidBrush brush;
  brush.Create(toArgb(textColourOf(combo), 255, false));
  Font font;
  font.Create(kTextFamily, kTextSize);
  StringFormat defaultFormat;
  RectF layout(2, static_cast<float>((geometry.height - 12) / 2), static_cast<float>(geometry.width - 17),
               static_cast<float>(geometry.height - 4));
  graphics.DrawString(windowTextOf(combo), font, brush, layout, defaultFormat);
}

void drawCombo(HDC buffer, HWND combo, const ComboGeometry& geometry, bool hot, bool focused) {
  Graphics graphics;
  graphics.FromHDC(buffer);
  const SkinSettings& settings = skinEngine().settings();
  float width = static_cast<float>(geometry.width);
  float height = static_cast<float>(geometry.height);
  fillRectangleSolid(graphics, 0, 0, width, height,
                     toArgb(kWhite, settings.translucencyGiven ? settings.globalTranslucency : 255));
  maskChildren(graphics, combo, geometry.style);
  strokeRectangleSolid(graphics, 0, 0, width - 1, height - 1,
                       hot || focused ? toArgb(settings.accentColour, kAccentAlpha) : toArgb(kBlack, kPlainAlpha));
  if (geometry.style == CBS_SIMPLE) return;
  drawDropButton(graphics, geometry, hot);
  if (geometry.style == CBS_DROPDOWNLIST) drawSelectionText(graphics, combo, geometry);
}
}  // namespace

RECT childRectangle(HWND child) {
  RECT own{};
  RECT parent{};
  dll::GetWindowRect(child, &own);
  dll::GetWindowRect(dll::GetParent(child), &parent);
  return {own.left - parent.left, own.top - parent.top, own.right - parent.left, own.bottom - parent.top};
}

void paintComboBox(HWND combo, bool hot, std::optional<bool> focused) {
  if (!skinEngineExists()) return;
  if (!focused) {
    ComboRecord* record = comboRecordOf(combo);
    focused = record && record->hasFocus;
  }
  ComboGeometry geometry = measure(combo);
  BackBuffer buffer(combo, RECT{0, 0, geometry.width, geometry.height});
  drawCombo(buffer.dc(), combo, geometry, hot, *focused);
  WindowDc window(combo, WindowDc::kWholeWindow);
  dll::TransparentBlt(window.get(), 0, 0, geometry.width, geometry.height, buffer.dc(), 0, 0, geometry.width,
                      geometry.height, kMagenta);
}

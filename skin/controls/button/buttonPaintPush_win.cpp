#include "draw/colour.h"
#include "draw/gradients.h"
#include "draw/paths.h"
#include "draw/solidDrawing.h"
#include "skin/controls/button/button.h"
#include "skin/controls/button/buttonPaint.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"

namespace {
constexpr int kFaceAlpha = 120;        // the white under every state
constexpr int kShadeBottomAlpha = 60;  // the grey towards the bottom edge
constexpr int kGlossTopAlpha = 50;     // the gloss over the upper half
constexpr int kGlossBottomAlpha = 10;
constexpr int kHotTopAlpha = 60;  // the accent wash while hot
constexpr int kHotBottomAlpha = 10;
constexpr int kGlowRings = 3;  // the focus glow
constexpr int kGlowAlpha = 120;
constexpr int kFocusOutlineAlpha = 70;
constexpr int kPlainOutlineAlpha = 120;
constexpr int kPressedAccentAlpha = 60;
constexpr int kPressedWhiteAlpha = 100;
constexpr float kCorner = 5;
constexpr COLORREF kShadeColour = RGB(128, 128, 128);

struct Box {
  float left, top, width, height;
};

void drawRaisedFace(Graphics& graphics, const GraphicsPath& outline, const Box& box) {
  fillPathVerticalGradient(graphics, outline, box.top, box.top + box.height - 1, toArgb(kWhite, 0),
                           toArgb(kShadeColour, kShadeBottomAlpha));
  GraphicsPath gloss = topRoundedRectanglePath(box.left, box.top, box.width - 1,
                                               static_cast<float>(static_cast<int>(box.height) / 2), kCorner);
  fillPathVerticalGradient(graphics, gloss, box.top, box.top + static_cast<int>(box.height) / 2,
                           toArgb(kWhite, kGlossTopAlpha), toArgb(kWhite, kGlossBottomAlpha));
}

void drawStateOutline(Graphics& graphics, const GraphicsPath& outline, const Box& box, UINT state) {
  COLORREF accent = skinEngine().settings().accentColour;
  if (state & kStateHot) {
    fillPathVerticalGradient(graphics, outline, box.top, box.top + box.height - 1, toArgb(accent, kHotTopAlpha),
                             toArgb(accent, kHotBottomAlpha));
    strokePathSolid(graphics, outline, toArgb(accent, 255));
  } else if (state & kStateFocused) {
    drawGlow(graphics, outline, kGlowRings, kGlowColour, kGlowAlpha);
    strokePathSolid(graphics, outline, toArgb(kBlack, kFocusOutlineAlpha));
  } else {
    strokePathSolid(graphics, outline, toArgb(kBlack, kPlainOutlineAlpha));
  }
}

void drawPressedWell(Graphics& graphics, const Box& box) {
  GraphicsPath well = roundedRectanglePath(box.left + 2, box.top + 2, box.width - 3, box.height - 3, kCorner);
  fillPathVerticalGradient(graphics, well, 2, box.height - 2,
                           toArgb(skinEngine().settings().accentColour, kPressedAccentAlpha),
                           toArgb(kWhite, kPressedWhiteAlpha));
}
}  // namespace

void paintPushButton(HWND button, HDC dc, UINT state, const RECT& client) {
  ButtonCanvas canvas(button, client);
  Graphics& graphics = canvas.graphics();
  Box box{static_cast<float>(client.left), static_cast<float>(client.top), static_cast<float>(canvas.width()),
          static_cast<float>(canvas.height())};
  GraphicsPath outline = buttonOutlinePath(client);
  fillPathSolid(graphics, outline, toArgb(kWhite, kFaceAlpha));
  if (state & kStateDisabled) {
    drawDisabledBody(graphics, client, outline);
  } else {
    drawRaisedFace(graphics, outline, box);
    drawStateOutline(graphics, outline, box, state);
    if (state & kStatePressed) drawPressedWell(graphics, box);
  }
  canvas.drawCaption(RectF(0, 2, box.width, box.height), Gdiplus::StringAlignmentCenter, Gdiplus::UnitWorld);
  canvas.copyTo(dc);
}

// Only push buttons are owner-drawn; check boxes and radio buttons paint themselves.
void drawPushButtonItem(int recordIndex, const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON) return;
  int index = listIndexOf(item.hwndItem);
  if (index < 1 || !skinEngineExists()) return;
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || record->controls->buttons[index].kind != kPushButton) return;
  paintPushButton(item.hwndItem, item.hDC, item.itemState, item.rcItem);
}

#include "skin/controls/button/buttonPaint.h"

#include "draw/colour.h"
#include "draw/solidDrawing.h"
#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/stringFormat.h"
#include "skin/controls/button/button.h"
#include "skin/controls/shared/controlRecords.h"

namespace {
constexpr COLORREF kDisabledFill = RGB(192, 192, 192);
constexpr int kDisabledOutlineAlpha = 80;
constexpr float kButtonCorner = 5;

// The client rectangle moved to where the client area lies in the button's window, so that the
// buffer holds the background behind the client area.
RECT bufferRectangle(HWND button, const RECT& client) {
  RECT inWindow = clientRectInWindow(button);
  return {inWindow.left, inWindow.top, inWindow.left + (client.right - client.left),
          inWindow.top + (client.bottom - client.top)};
}
}  // namespace

ButtonCanvas::ButtonCanvas(HWND button, const RECT& client)
    : button_(button), buffer_(button, bufferRectangle(button, client)) {
  graphics_.FromHDC(buffer_.dc());
}

void ButtonCanvas::drawCaption(const RectF& layout, Gdiplus::StringAlignment alignment, Gdiplus::Unit unit) {
  ButtonRecord* record = buttonRecordOf(button_);
  if (!record) return;
  SolidBrush brush;
  brush.Create(toArgb(textColourOf(button_), 255, false));
  Font font;
  font.Create(record->fontFamily, static_cast<float>(record->fontSize), record->fontStyle, unit);
  StringFormat format;
  format.Create();
  format.SetAlignment(alignment);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  graphics_.DrawString(record->text, font, brush, layout, format);
}

void ButtonCanvas::copyTo(HDC dc) {
  // GDI+ may hold drawing back until the graphics goes; the copy must see all of it.
  graphics_.Delete();
  dll::BitBlt(dc, 0, 0, buffer_.width(), buffer_.height(), buffer_.dc(), 0, 0, SRCCOPY);
}

void drawDisabledBody(Graphics& graphics, const RECT& client, const GraphicsPath& outline) {
  fillRectangleSolid(graphics, static_cast<float>(client.left), static_cast<float>(client.top),
                     static_cast<float>(client.right - client.left), static_cast<float>(client.bottom - client.top),
                     toArgb(kDisabledFill, 255));
  strokePathSolid(graphics, outline, toArgb(kBlack, kDisabledOutlineAlpha));
}

GraphicsPath buttonOutlinePath(const RECT& client) {
  return roundedRectanglePath(static_cast<float>(client.left), static_cast<float>(client.top),
                              static_cast<float>(client.right - client.left - 1),
                              static_cast<float>(client.bottom - client.top - 1), kButtonCorner);
}

// The whitened skin background behind a control, as a buffer and as a control's background.
#include "skin/controls/shared/whitenedBuffer.h"

#include "draw/colour.h"
#include "draw/solidDrawing.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

WhitenedBuffer::~WhitenedBuffer() {
  if (dc_) releaseBackBuffer(dc_);
}

HDC whitenedBackBuffer(HWND control) {
  RECT area = clientRectInWindow(control);
  HDC dc = createBackBuffer(control, area);
  if (!dc) return nullptr;
  Graphics graphics;
  graphics.FromHDC(dc);
  SolidBrush white;
  white.Create(toArgb(kWhite, skinEngine().settings().globalTranslucency));
  graphics.FillRectangle(white, 0, 0, static_cast<float>(area.right - area.left),
                         static_cast<float>(area.bottom - area.top));
  return dc;
}

void paintEditBackground(HWND edit, HDC dc) {
  if (!skinEngineExists()) return;
  BackBuffer buffer(edit, clientRectInWindow(edit));
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    fillRectangleSolid(graphics, 0, 0, static_cast<float>(buffer.width()), static_cast<float>(buffer.height()),
                       toArgb(kWhite, skinEngine().settings().globalTranslucency));
  }
  dll::BitBlt(dc, 0, 0, buffer.width(), buffer.height(), buffer.dc(), 0, 0, SRCCOPY);
}

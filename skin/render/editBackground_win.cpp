#include "draw/colour.h"
#include "draw/solidDrawing.h"
#include "gfx/graphics.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"
#include "skin/render/edit.h"

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

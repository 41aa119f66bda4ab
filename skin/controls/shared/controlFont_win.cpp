#include "skin/controls/shared/controlFont.h"

#include "gdi/deviceContext.h"
#include "gfx/font.h"

ControlFont readControlFont(HWND control) {
  auto handle = reinterpret_cast<HFONT>(dll::SendMessageA(control, WM_GETFONT, 0, 0));
  WindowDc dc(control);
  Font font;
  // GDI+ takes only TrueType fonts; a bitmap font handle falls back to the context's font.
  if (!font.FromDC(dc.get(), handle)) font.FromDC(dc.get());
  ControlFont result;
  if (!font.GetHandle()) return result;
  FontFamily family;
  if (font.GetFamily(family)) result.family = family.GetName();
  result.size = static_cast<int>(font.GetSize());
  result.style = font.GetStyle();
  return result;
}

#include "draw/colour.h"

Argb toArgb(COLORREF colour, int alpha, bool useAlpha) {
  Argb red = GetRValue(colour);
  Argb green = GetGValue(colour);
  Argb blue = GetBValue(colour);
  Argb a = useAlpha ? static_cast<Argb>(alpha & 0xFF) : 0xFFu;
  return (a << 24) | (red << 16) | (green << 8) | blue;
}

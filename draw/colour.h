#pragma once
// The colours of the skin: COLORREF (0x00BBGGRR) in its data, GDI+ ARGB (0xAARRGGBB) when drawn.
#include <windows.h>

#include "gfx/gdiObject.h"

// The COLORREF (0x00BBGGRR) as GDI+ ARGB (0xAARRGGBB) with that alpha, or opaque when useAlpha is
// false.
Argb toArgb(COLORREF colour, int alpha, bool useAlpha = true);

inline constexpr COLORREF kWhite = 0xFFFFFF;
inline constexpr COLORREF kBlack = 0x000000;
inline constexpr COLORREF kMagenta = 0xFF00FF;     // the colour key of the keyed copies
inline constexpr COLORREF kGlowColour = 0xDDCA22;  // RGB(34, 202, 221), the focus glow

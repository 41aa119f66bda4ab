#pragma once
// The font a control's caption is drawn with, as the skin records it, and the defaults push
// buttons fall back to.
#include "toolkit/valueModel.h"

struct ControlFont {
  Text family;    // empty when GDI+ could not make a font at all
  int size = 0;   // em size, truncated
  int style = 0;  // Gdiplus::FontStyle bits
};

// A push button's caption font: the family "宋体" when the font read has none, the size 12 when it
// reads 0, the style as read.
ControlFont withPushButtonDefaults(ControlFont font);

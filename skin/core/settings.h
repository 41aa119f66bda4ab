#pragma once
// Engine-wide settings of the skin engine, set by start-up, the control options and the
// background picture.
#include <windows.h>

#include "toolkit/valueModel.h"

struct SkinSettings {
  HICON applicationIcon = nullptr;  // drawn in the caption; shared (LoadIconA), never destroyed
  int firstSizeFlag = 0;            // the first WM_SIZE does not ask for a full repaint
  int skinEnabled = 0;              // gates the registration passes and the colour messages
  int globalTranslucency = 0;       // alpha of the white over backgrounds behind edit-like controls
  int translucencyGiven = 0;        // the colour messages are answered only when set
  int controlOption2 = 0;           // read by the renderers
  COLORREF accentColour = 0;
  COLORREF skinBaseColour = 0;  // the colour that stands for the background picture
  int backgroundMode = 0;       // BackgroundMode: how the picture is prepared and drawn
  ByteSet backgroundPicture;    // encoded image bytes; empty for none
};

inline constexpr COLORREF kAccentColour = 0xDDCA22;  // RGB(34, 202, 221)

// How a background picture is prepared and drawn into the client area.
enum BackgroundMode : int {
  kBackgroundBlended = 0,       // edges blended into the base colour, at (0, 0)
  kBackgroundBlendedRight = 1,  // the same, right-aligned
  kBackgroundCentred = 2,
  kBackgroundStretched = 3,  // stretched over the client area (this program's)
  kBackgroundNatural = 4,    // at (0, 0), natural size
};

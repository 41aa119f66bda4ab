#pragma once
// Engine-wide settings of the skin engine, set by start-up and by the skin entry.
#include <windows.h>

struct SkinSettings {
  ULONG_PTR gdiplusToken = 0;
  HICON applicationIcon = nullptr;
  int firstSizeFlag = 0;
  int skinEnabled = 0;
  int globalTranslucency = 0;
  COLORREF accentColour = 0;
  int controlOption2 = 0;
};

inline constexpr COLORREF kAccentColour = 0xDDCA22;  // RGB(34, 202, 221)

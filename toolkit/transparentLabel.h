#pragma once
// The transparent label: a child window without a background of its own that shows only its
// caption over whatever the parent paints behind it.
#include <windows.h>

inline constexpr char kTransparentLabelClass[] = "QvTransparentLabel";

// Registers the label's window class once per process.
void registerTransparentLabel(HINSTANCE instance);

// The caption's colour (black until set).
void setLabelTextColour(HWND label, COLORREF colour);

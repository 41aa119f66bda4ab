#pragma once
// The window frame: the rounded shape, the full paint of every layer into the window's buffers,
// the buffered paint and the title. The record releases the buffers when it dies.
#include <windows.h>

#include "gfx/graphics.h"
#include "skin/core/windowRecord.h"

// Corner ellipse of the window region. 6 rather than 5: with 5, Wine's round-rectangle region
// keeps two pixels per corner that the background's rounded clip (corner 4) leaves magenta.
inline constexpr int kWindowCornerEllipse = 6;
// The caption layout of the title.
inline constexpr int kIconSize = 17;
inline constexpr int kIconLeft = 6;
inline constexpr int kTitleOffsetFromIcon = 20;

// Repaints every layer into the buffers (background, border, caption snapshot, title, caption
// buttons); with toScreen the result is copied to the window and the registered controls are
// asked to repaint (not after the first full paint of the run). The device context is the
// caller's paint context; the copy goes through the window's own one.
void fullPaint(int recordIndex, HDC dc, bool toScreen);
// Copies the background buffer to dc, leaving the opaque child windows alone.
void bufferedPaint(int recordIndex, HDC dc);
// Gives the window its rounded region (corner ellipse 5 x 5); the system owns the region.
void shapeWindow(HWND window);
// The icon and the outlined caption text (newText, when given, instead of the window text) into
// the graphics on the background buffer; with toScreen the caption area is copied to the window.
void drawTitle(int recordIndex, Graphics& graphics, bool toScreen, const char* newText = nullptr);
// WM_SETTEXT: the title redrawn with the new text over the caption snapshot.
void redrawTitle(int recordIndex, const char* newText);
// Copies a rectangle of the background buffer to the window, the opaque children left out.
void copyFrameToWindow(const WindowRecord& record, const RECT& area);
// Asks the registered controls to repaint: with framedOnly the button, edit, combo and list-like
// controls whose parent is the window (after a full paint), otherwise every registered control.
void invalidateRegisteredControls(const WindowRecord& record, bool framedOnly);

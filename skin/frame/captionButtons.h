#pragma once
// The caption buttons: the entries and their strip, the layout with the tooltips, the hit test,
// the drawing in the plain, hover and pressed states, and what each button does.
#include <windows.h>

#include "gfx/graphics.h"
#include "skin/core/windowRecord.h"

inline constexpr int kCaptionButtonWidth = 26;
inline constexpr int kCloseButtonWidth = 40;  // its image is 38 wide and stretched
inline constexpr int kCaptionButtonHeight = 18;
inline constexpr int kCaptionButtonPitch = 27;
inline constexpr int kStripHeight = 22;
inline constexpr int kFadeSteps = 8;
inline constexpr int kFadeAlphaStep = 30;  // 8 steps of 30: 240 at the end of a fade-in

// Appends the buttons the record asks for (help, main menu, minimise, maximise, close) and sizes
// the strip; its left is final after layoutCaptionButtons.
void buildCaptionButtons(WindowRecord& record, int clientWidth, int borderInset);
// Creates the tooltip window with one tool per button (id = 1-based index).
void createCaptionToolTips(WindowRecord& record);
// Places the strip at the right edge, the buttons in it and the tools over them.
void layoutCaptionButtons(WindowRecord& record);
// The 1-based button under the point (client coordinates), 0 for none.
int hitTestCaptionButtons(const WindowRecord& record, int x, int y);

// Draws button i into the background buffer: plain (hoverAlpha 0), hovered (alpha 1..255) or
// pressed. With a graphics (the full paint's) it draws there; without one it opens its own and
// copies the button's rectangle to the window.
void drawCaptionButton(int recordIndex, int button, Graphics* graphics, bool pressed, int hoverAlpha);

// The button's action by its kind: close, maximise/restore, minimise, or a callback.
void runCaptionButtonAction(int recordIndex, int button);

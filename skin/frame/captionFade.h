#pragma once
// The hover fade of the caption buttons, driven by a 20 ms timer whose id is the window handle.
#include <windows.h>

inline constexpr UINT kCaptionTimerMs = 20;

// Starts the caption timer unless it runs.
void startCaptionTimer(int recordIndex);
// One timer tick: the fade-in and fade-out advance a step; the timer stops itself when the
// pointer has left and the fade-out is done.
void advanceCaptionFade(int recordIndex);
// WM_MOUSELEAVE: the hovered button starts fading out.
void fadeOutOnMouseLeave(int recordIndex);

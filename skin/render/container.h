#pragma once
// Containers: group boxes and tab controls, and the transparent controls that hold child
// windows. The controls inside send their colour, draw-item and change messages to the container
// rather than to the skinned window, so the container answers them as the window does.
#include <windows.h>

LRESULT CALLBACK containerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the container over the skin background: a group box its double rounded frame and
// caption, another container its plain border when it has one. dc: the target, or null for the
// container's own device context with its opaque children clipped out. update: the rectangle to
// copy (client coordinates), or null for the whole container.
void paintContainer(int recordIndex, int containerIndex, HDC dc, const RECT* update);

// Where a group box's caption starts: centred (BS_CENTER), 10 from the right (BS_RIGHT alone),
// else at 10.
float groupBoxCaptionLeft(DWORD style, float width, float captionWidth);

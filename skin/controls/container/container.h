#pragma once
// Containers: group boxes and tab controls, and the transparent controls that hold child
// windows. The controls inside send their colour, draw-item and change messages to the container
// rather than to the skinned window, so the container answers them as the window does.
#include <windows.h>

#include "skin/core/windowRecord.h"

// Enters the container in the record's container list (the single empty record, or a new one)
// with the body colour, alpha, skinned flag and border; a group box also gets its caption font.
// Returns its index there. Registering a container (skin/controls/controlPasses.h) then runs the
// passes over its children and subclasses it with the procedure below.
int enterContainer(WindowRecord& record, HWND container, COLORREF bodyColour, int alpha, int skinned, int border);

LRESULT CALLBACK containerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the container over the skin background: a group box its double rounded frame and
// caption, another container its plain border when it has one. dc: the target, or null for the
// container's own device context with its opaque children clipped out. update: the rectangle to
// copy (client coordinates), or null for the whole container.
void paintContainer(int recordIndex, int containerIndex, HDC dc, const RECT* update);

// Where a group box's caption starts: centred (BS_CENTER), 10 from the right (BS_RIGHT alone),
// else at 10.
float groupBoxCaptionLeft(DWORD style, float width, float captionWidth);

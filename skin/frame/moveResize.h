#pragma once
// Moving the window by its caption, resizing it at its edges, and the docked children.
#include <windows.h>

inline constexpr int kResizeCornerSize = 10;

// WM_LBUTTONDOWN outside the caption-button strip: a drag by the caption, or a resize from the
// zone under the pointer.
void startMoveOrResize(int recordIndex, LPARAM position, const RECT& client);
// WM_MOUSEMOVE: the resize cursor of the zone under the pointer (resizable windows only).
void updateResizeCursor(int recordIndex, LPARAM position, const RECT& client);
// WM_SIZE: the docked children follow the client size.
void placeDockedChildren(int recordIndex);

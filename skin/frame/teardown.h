#pragma once
#include <windows.h>

// WM_NCDESTROY of a skinned window: frees the controls' brushes, the frame's buffers and the
// record, then renumbers the properties of the records behind it.
void tearDownWindow(HWND window);

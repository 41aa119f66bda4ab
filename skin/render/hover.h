#pragma once
// The hover state the renderer families share in the window record: at most one control of a
// window is hot. The index alone is not enough, because every family numbers its own list from
// 1: the hot-list kind says which list the index belongs to.
#include <windows.h>

#include "skin/windowRecord.h"

// Asks for a WM_MOUSELEAVE when the mouse leaves the control.
void trackMouseLeave(HWND control);

bool isHotControl(const WindowRecord& record, int index, HotListKind kind);
void makeHotControl(WindowRecord& record, int index, HotListKind kind);
void clearHotControl(WindowRecord& record);

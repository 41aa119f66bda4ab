#pragma once
// The mouse in the caption: hover tracking and fades, pressing, releasing and double-clicking
// the caption buttons, and dragging the window by its caption.
#include <windows.h>

void onCaptionMouseMove(int recordIndex, LPARAM position);
void onCaptionButtonDown(int recordIndex, LPARAM position);
void onCaptionButtonUp(int recordIndex);
void onCaptionDoubleClick(int recordIndex, LPARAM position);

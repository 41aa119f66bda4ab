#pragma once
// The font a control draws with, as GDI+ sees it: read from the control's font handle, or from
// its device context's current font when GDI+ cannot use that handle.
#include <windows.h>

#include "skin/controls/shared/controlFontValue.h"

ControlFont readControlFont(HWND control);

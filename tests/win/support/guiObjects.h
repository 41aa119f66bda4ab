#pragma once
// Counts of this process's GUI objects that also work under Wine, whose GetGuiResources always
// answers 0 (so gdiObjectCount()/userObjectCount() in windows.h see nothing there).
#include <windows.h>

// GDI objects: GetGuiResources where it answers; otherwise the live entries of the GDI handle
// table that the system maps into every process (Wine fills it too, without owner ids).
DWORD gdiHandleCount();

// Windows (top-level and children) that belong to this process.
DWORD windowCount();

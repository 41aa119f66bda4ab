#pragma once
// Counts of this process's GUI objects for the leak checks. They also work under Wine, whose
// GetGuiResources always answers 0: a check that read that would compare 0 with 0 and pass.
#include <windows.h>

// GDI objects: GetGuiResources where it answers; otherwise the live entries of the GDI handle
// table that the system maps into every process (Wine fills it too, without owner ids).
DWORD gdiHandleCount();

// USER objects: GetGuiResources where it answers; otherwise this process's windows.
DWORD userObjectCount();

// Windows (top-level and children) that belong to this process.
DWORD windowCount();

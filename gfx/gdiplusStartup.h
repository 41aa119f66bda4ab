#pragma once
// Starting and stopping GDI+ for the process.
#include <windows.h>

// The token of the running GDI+ (0 before start-up).
extern ULONG_PTR gdiplusToken;

// Starts GDI+ (interface version 1 unless another is asked for), keeps the token in
// gdiplusToken and returns it. The status is not checked: drawing then simply fails.
ULONG_PTR startGdiplus(UINT32 version = 1);
void stopGdiplus(ULONG_PTR token);

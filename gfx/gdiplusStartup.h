#pragma once
// Starting and stopping GDI+ for the process: the program's start-up and shut-down and the
// tests use these two, so they run the same start-up.
#include <windows.h>

// The token of the running GDI+ (0 before start-up and after the stop).
extern ULONG_PTR gdiplusToken;

// Starts GDI+ (interface version 1 unless another is asked for), keeps the token in
// gdiplusToken and returns it; while GDI+ runs, returns the running one's token. The status is
// not checked: drawing then simply fails.
ULONG_PTR startGdiplus(UINT32 version = 1);
// Shuts the running GDI+ down with its token; nothing when it is not running, so at most once
// for each start.
void stopGdiplus();

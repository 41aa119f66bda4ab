#pragma once
#include <windows.h>

// Runs the message loop until the quit message; returns its exit code.
int runMessageLoop(HWND mainWindow);

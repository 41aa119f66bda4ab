#pragma once
// Small helpers the Windows tests share: message boxes of other processes, GDI/USER counts.
#include <windows.h>

#include <string>

// The first top-level dialog (message box) owned by the process, or null.
HWND findProcessDialog(DWORD processId);
// The box's caption and its static text.
std::string windowText(HWND window);
std::string messageBoxText(HWND box);
// Pumps this thread's messages for about ms milliseconds.
void pumpMessages(DWORD ms);
DWORD gdiObjectCount();
DWORD userObjectCount();

#pragma once
// Small helpers the Windows tests share: message boxes of other processes, pumping, repainting.
// Counts of GDI and USER objects are in guiObjects.h.
#include <windows.h>

#include <string>

// The first top-level dialog (message box) owned by the process, or null.
HWND findProcessDialog(DWORD processId);
// The box's caption and its static text.
std::string windowText(HWND window);
std::string messageBoxText(HWND box);
// Pumps this thread's messages for about ms milliseconds.
void pumpMessages(DWORD ms);
// Paints the window now: invalidated (frame included, with erasing) and updated, its children too.
void repaintNow(HWND window);
// The window procedure a window has now.
inline WNDPROC procedureOf(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

#pragma once
// Subclassing for the skin: every skinned window and control gets a procedure of the engine and
// keeps the one it replaced, to which each procedure passes the messages it does not answer.
#include <windows.h>

// Installs the procedure as the window's procedure and returns the one it replaces.
WNDPROC subclassWindow(HWND window, WNDPROC procedure);

// The saved procedure with the unchanged message; DefWindowProcA when there is none (a window
// that lost its properties still gets default handling).
LRESULT callSavedProcedure(WNDPROC saved, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// DefWindowProcA through the declared-function table, as the paint rows return it.
LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

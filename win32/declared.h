#pragma once
// The declared-function table: one typed row per Windows function that our own code calls.
// Call as dll::InternetOpenA(...). Each row binds by name on its first call (win32/binder.h).
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

#include "win32/binder.h"

#define QV_DECLARE(library, name) inline DeclaredFunction<decltype(::name)> name{library, #name};
// For functions whose header name is a macro or that the headers lack.
#define QV_DECLARE_TYPED(library, name, type) inline DeclaredFunction<type> name{library, #name};

namespace dll {

// Start-up.
QV_DECLARE("kernel32", GetModuleHandleA)
QV_DECLARE("user32", LoadIconA)

// Code-page conversion (searched without a library name, as declared).
QV_DECLARE("", MultiByteToWideChar)
QV_DECLARE("kernel32", WideCharToMultiByte)

// Web request routine.
QV_DECLARE("wininet.dll", InternetOpenA)
QV_DECLARE("wininet.dll", InternetCloseHandle)
QV_DECLARE("wininet.dll", InternetConnectA)
QV_DECLARE("wininet.dll", HttpOpenRequestA)
QV_DECLARE("wininet.dll", HttpSendRequestA)
QV_DECLARE("wininet.dll", InternetReadFile)
QV_DECLARE("wininet.dll", HttpQueryInfoA)
// Bounded waits: the exchange blocks the GUI thread, so no wait may be endless.
QV_DECLARE("wininet.dll", InternetSetOptionA)

// GDI+ object layer.
// Memory streams over global blocks, for images decoded from and encoded to memory.
QV_DECLARE("kernel32", GlobalAlloc)
QV_DECLARE("kernel32", GlobalLock)
QV_DECLARE("kernel32", GlobalUnlock)
QV_DECLARE("kernel32", GlobalFree)
QV_DECLARE("kernel32", GlobalSize)
QV_DECLARE("ole32", CreateStreamOnHGlobal)
QV_DECLARE("ole32", GetHGlobalFromStream)
// Encoder lookup by GUID text.
QV_DECLARE("ole32", StringFromGUID2)
QV_DECLARE("ole32", CLSIDFromString)
// Font from a device context's font handle.
QV_DECLARE("gdi32", GetObjectA)
// Tooltip window; the common-controls classes are registered before it is created.
QV_DECLARE("COMCTL32.DLL", InitCommonControlsEx)
QV_DECLARE("user32", CreateWindowExA)
QV_DECLARE("", SendMessageA)

// Memory trimming (runs on its own thread; binding is safe from any thread).
// shlwapi.h stays out of this header, its string macros with it: skin/frame/trim_win.cpp checks the type.
QV_DECLARE_TYPED("shlwapi", SHCreateThread, BOOL WINAPI(LPTHREAD_START_ROUTINE, void*, DWORD, LPTHREAD_START_ROUTINE))
QV_DECLARE("kernel32", GetEnvironmentVariableA)
QV_DECLARE("kernel32", GetFileAttributesA)
QV_DECLARE("kernel32", CreateFileA)
QV_DECLARE("kernel32", WriteFile)
QV_DECLARE("kernel32", CloseHandle)
QV_DECLARE("kernel32", MoveFileExA)
QV_DECLARE("kernel32", DeleteFileA)
QV_DECLARE("kernel32", GetCurrentProcessId)
QV_DECLARE("kernel32", GetCurrentThreadId)
QV_DECLARE("kernel32", GetCurrentProcess)
QV_DECLARE("kernel32", CreateProcessA)
QV_DECLARE("kernel32", WaitForSingleObject)
QV_DECLARE("kernel32", SetProcessWorkingSetSize)
QV_DECLARE("kernel32", Sleep)

// Skin engine.
// Window properties and subclassing. 32-bit user32 exports only the 32-bit forms; there the Ptr
// names are macros for them, so dll::SetWindowLongPtrA names the right row in both builds.
QV_DECLARE("user32", GetPropA)
QV_DECLARE("user32", SetPropA)
QV_DECLARE("user32", RemovePropA)
QV_DECLARE("user32", GetWindowLongA)
QV_DECLARE("user32", SetWindowLongA)
#ifdef _WIN64
QV_DECLARE("user32", GetWindowLongPtrA)
QV_DECLARE("user32", SetWindowLongPtrA)
#endif
QV_DECLARE("user32", CallWindowProcA)
QV_DECLARE("user32", DefWindowProcA)
// Skin engine: windows, geometry, timers, mouse and cursors.
QV_DECLARE("user32", GetClientRect)
QV_DECLARE("user32", GetWindowRect)
QV_DECLARE("user32", ClientToScreen)
QV_DECLARE("user32", MapWindowPoints)
QV_DECLARE("user32", GetParent)
QV_DECLARE("user32", GetWindow)
QV_DECLARE("user32", FindWindowA)
QV_DECLARE("user32", FindWindowExA)
QV_DECLARE("user32", GetClassNameA)
QV_DECLARE("user32", GetWindowTextLengthA)
QV_DECLARE("user32", GetWindowTextA)
QV_DECLARE("user32", IsWindow)
QV_DECLARE("user32", IsWindowVisible)
QV_DECLARE("user32", GetSystemMetrics)
QV_DECLARE("user32", GetSysColor)
QV_DECLARE("user32", SetWindowPos)
QV_DECLARE("user32", MoveWindow)
QV_DECLARE("user32", SetWindowRgn)
QV_DECLARE("user32", InvalidateRect)
QV_DECLARE("user32", SetTimer)
QV_DECLARE("user32", KillTimer)
QV_DECLARE("user32", TrackMouseEvent)
QV_DECLARE("user32", LoadCursorA)
QV_DECLARE("user32", SetCursor)
QV_DECLARE("user32", DestroyIcon)
QV_DECLARE("user32", DrawIconEx)
QV_DECLARE("kernel32", ReadProcessMemory)
QV_DECLARE("kernel32", GetTickCount)
// Skin engine: device contexts, bitmaps, brushes and regions.
QV_DECLARE("user32", BeginPaint)
QV_DECLARE("user32", EndPaint)
QV_DECLARE("user32", GetDC)
QV_DECLARE("user32", GetWindowDC)
QV_DECLARE("user32", ReleaseDC)
QV_DECLARE("gdi32", CreateCompatibleDC)
QV_DECLARE("gdi32", CreateCompatibleBitmap)
QV_DECLARE("gdi32", DeleteDC)
QV_DECLARE("gdi32", SelectObject)
QV_DECLARE("gdi32", DeleteObject)
QV_DECLARE("gdi32", GetStockObject)
QV_DECLARE("gdi32", CreatePatternBrush)
QV_DECLARE("gdi32", CreateRoundRectRgn)
QV_DECLARE("gdi32", ExcludeClipRect)
QV_DECLARE("gdi32", BitBlt)
QV_DECLARE("gdi32", SetBkMode)
QV_DECLARE("gdi32", SetTextColor)
QV_DECLARE("msimg32", TransparentBlt)

// Buttons, edit boxes and combo boxes.
// The scroll bars an edit box keeps, as the region the system may still paint in WM_NCPAINT.
QV_DECLARE("user32", GetScrollBarInfo)
QV_DECLARE("gdi32", CreateRectRgn)
QV_DECLARE("gdi32", CreateRectRgnIndirect)
QV_DECLARE("gdi32", CombineRgn)

// Containers, transparent controls, list-like controls, track bars, progress bars, up-down controls, headers.
QV_DECLARE("user32", GetUpdateRect)
QV_DECLARE("user32", ReleaseCapture)
QV_DECLARE("comctl32", ImageList_Destroy)
QV_DECLARE("comctl32", ImageList_GetIcon)
QV_DECLARE("comctl32", ImageList_GetIconSize)

}  // namespace dll

#include "win32/declaredGdiplus.h"

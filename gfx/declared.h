#pragma once
// The declared-function table: one typed row per Windows function that our own code calls.
// Call as dll::InternetOpenA(...). Each row binds by name on its first call (gfx/binder.h).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

#include "gfx/binder.h"

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

}  // namespace dll

#include "gfx/declaredGdiplus.h"

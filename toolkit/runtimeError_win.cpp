#include <windows.h>

#include "toolkit/runtimeError.h"

void raiseRuntimeError(int number, std::string_view message) {
  // No owner: the error may come before any window exists, or from inside one being torn down.
  MessageBoxA(nullptr, runtimeErrorText(number, message).c_str(), kRuntimeErrorCaption, MB_ICONERROR);
  ExitProcess(static_cast<UINT>(-1));
}

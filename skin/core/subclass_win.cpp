#include "skin/core/subclass.h"

#include "win32/declared.h"

WNDPROC subclassWindow(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(dll::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

LRESULT callSavedProcedure(WNDPROC saved, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!saved) return dll::DefWindowProcA(window, message, wParam, lParam);
  return dll::CallWindowProcA(saved, window, message, wParam, lParam);
}

LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return dll::DefWindowProcA(window, message, wParam, lParam);
}

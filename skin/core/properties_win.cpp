#include "skin/core/properties.h"

#include "win32/declared.h"

LONG_PTR getProperty(HWND window, const char* name) {
  if (!window) return 0;
  return reinterpret_cast<LONG_PTR>(dll::GetPropA(window, name));
}

void setProperty(HWND window, const char* name, LONG_PTR value) {
  if (window) dll::SetPropA(window, name, reinterpret_cast<HANDLE>(value));
}

void removeProperty(HWND window, const char* name) {
  if (window) dll::RemovePropA(window, name);
}

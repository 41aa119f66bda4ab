#pragma once
// The window properties by which the skin tags windows and controls. Names are case-sensitive;
// a property that is absent reads as 0. Values are pointer-sized, so handles and procedures fit
// in the 64-bit build as they do in the 32-bit one.
#include <windows.h>

#include <type_traits>

namespace prop {
// On a skinned top-level window: its window record index (1-based). On a control registered by
// a renderer: the index of its control record in the owner's list.
inline constexpr char kListIndex[] = "Hw_lbID";
// On a control in a control list or the container list: the owning window record index.
inline constexpr char kOwnerIndex[] = "Hw_FuID";
// On every subclassed window: the saved window procedure.
inline constexpr char kSavedProcedure[] = "Hw_hProc";
// On a transparent control: its index in the transparent-control list, the owning window record
// index and its saved procedure.
inline constexpr char kTransparentIndex[] = "Kj_lbID";
inline constexpr char kTransparentOwner[] = "Kj_FuID";
inline constexpr char kTransparentProcedure[] = "Kj_hProc";
// On a skinned control: its text colour (COLORREF).
inline constexpr char kTextColour[] = "Kj_Ztys";
// On a control answered by the colour messages: the brush last returned for it, and the bitmap
// under that brush when it was the background brush. Each answer deletes the previous ones.
inline constexpr char kColourBrush[] = "Kj_dxjb";
inline constexpr char kBrushBitmap[] = "Kj_wtjb";
// On a skinned top-level window: the bitmap its background device context was created with, and
// the bitmap currently selected into it.
inline constexpr char kBackgroundFirstBitmap[] = "Ck_Ycjdx";
inline constexpr char kBackgroundOwnBitmap[] = "Ck_wtjbdx";
// On containers and their children.
inline constexpr char kContainerMb[] = "Mb_zpf";
inline constexpr char kContainerCj[] = "Wxk_Cj";
inline constexpr char kContainerZpf[] = "Wxk_Zpf";
}  // namespace prop

// The property's value, 0 when the window does not have it.
LONG_PTR getProperty(HWND window, const char* name);
void setProperty(HWND window, const char* name, LONG_PTR value);
void removeProperty(HWND window, const char* name);

// Typed reads and writes for handles, procedures and integers.
template <typename T>
T getPropertyAs(HWND window, const char* name) {
  LONG_PTR value = getProperty(window, name);
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<T>(value);
  else
    return static_cast<T>(value);
}

template <typename T>
void setPropertyTo(HWND window, const char* name, T value) {
  if constexpr (std::is_pointer_v<T>)
    setProperty(window, name, reinterpret_cast<LONG_PTR>(value));
  else
    setProperty(window, name, static_cast<LONG_PTR>(value));
}

// The shortcuts the window procedures use most.
inline int listIndexOf(HWND window) {
  return getPropertyAs<int>(window, prop::kListIndex);
}
inline int ownerIndexOf(HWND window) {
  return getPropertyAs<int>(window, prop::kOwnerIndex);
}
inline WNDPROC savedProcedureOf(HWND window) {
  return getPropertyAs<WNDPROC>(window, prop::kSavedProcedure);
}
inline COLORREF textColourOf(HWND window) {
  return getPropertyAs<COLORREF>(window, prop::kTextColour);
}

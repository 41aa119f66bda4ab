#include <cstring>

#include "gdi/gdiHandle.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/core/backBuffers.h"
#include "skin/core/properties.h"
#include "win32/declared.h"

namespace {
constexpr int kClassNameLength = 255;

void prepareControlText(HWND control, HDC dc) {
  dll::SetTextColor(dc, textColourOf(control));
  dll::SetBkMode(dc, TRANSPARENT);
}
}  // namespace

LRESULT answerWithNullBrush(HWND control, HDC dc) {
  prepareControlText(control, dc);
  deleteGdiObject(getPropertyAs<HGDIOBJ>(control, prop::kColourBrush));
  HGDIOBJ brush = dll::GetStockObject(NULL_BRUSH);
  setPropertyTo(control, prop::kColourBrush, brush);
  return reinterpret_cast<LRESULT>(brush);
}

LRESULT answerWithBackgroundBrush(HWND control, HDC dc) {
  prepareControlText(control, dc);
  deleteGdiObject(getPropertyAs<HGDIOBJ>(control, prop::kColourBrush));
  deleteGdiObject(getPropertyAs<HGDIOBJ>(control, prop::kBrushBitmap));
  HBITMAP bitmap = whitenedBackgroundBitmap(control);
  HBRUSH brush = dll::CreatePatternBrush(bitmap);
  setPropertyTo(control, prop::kColourBrush, brush);
  setPropertyTo(control, prop::kBrushBitmap, bitmap);
  return reinterpret_cast<LRESULT>(brush);
}

bool hasClass(HWND window, const char* className) {
  char name[kClassNameLength + 1] = {};
  if (!window || !dll::GetClassNameA(window, name, kClassNameLength)) return false;
  return std::strcmp(name, className) == 0;
}

bool isOwnerDrawnListBox(HWND window) {
  auto style = static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
  return hasClass(window, "ListBox") && (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE));
}

void invalidateOnChangeNotification(WPARAM wParam, LPARAM lParam) {
  auto control = reinterpret_cast<HWND>(lParam);
  if (!control) return;
  unsigned code = HIWORD(wParam);
  bool changed = false;
  if (hasClass(control, "Edit"))
    changed = code == EN_VSCROLL || code == EN_HSCROLL || code == EN_CHANGE || code == EN_UPDATE;
  else if (hasClass(control, "ListBox"))
    changed = code == LBN_SELCHANGE || code == LBN_SELCANCEL;
  else if (hasClass(control, "ComboBox"))
    changed = code == CBN_KILLFOCUS || code == CBN_SELCHANGE;
  if (changed) dll::InvalidateRect(control, nullptr, TRUE);
}

void invalidateOnTreeExpansion(LPARAM lParam) {
  // Copied through ReadProcessMemory: a stray lParam fails the copy instead of the process.
  NMHDR header{};
  SIZE_T copied = 0;
  if (!dll::ReadProcessMemory(dll::GetCurrentProcess(), reinterpret_cast<const void*>(lParam), &header, sizeof header,
                              &copied) ||
      copied != sizeof header)
    return;
  if (header.code == TVN_ITEMEXPANDEDA || header.code == TVN_ITEMEXPANDINGA)
    dll::InvalidateRect(header.hwndFrom, nullptr, TRUE);
}

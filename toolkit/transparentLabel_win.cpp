#include "toolkit/transparentLabel.h"

#include <string>

namespace {
constexpr char kFontProperty[] = "QvLabelFont";
// Stored one above the colour, so that an absent property (0) means black.
constexpr char kColourProperty[] = "QvLabelColour";

HFONT labelFont(HWND label) {
  HANDLE font = GetPropA(label, kFontProperty);
  return font ? static_cast<HFONT>(font) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

LRESULT CALLBACK labelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      SetPropA(label, kFontProperty, reinterpret_cast<HANDLE>(wParam));
      if (LOWORD(lParam)) InvalidateRect(label, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(GetPropA(label, kFontProperty));
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcA(label, message, wParam, lParam);
      InvalidateRect(label, nullptr, TRUE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;  // nothing of our own behind the caption
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks and hover belong to the window behind
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(label, &paint);
      std::string text(static_cast<size_t>(GetWindowTextLengthA(label)) + 1, '\0');
      int length = GetWindowTextA(label, text.data(), static_cast<int>(text.size()));
      RECT client;
      GetClientRect(label, &client);
      HGDIOBJ oldFont = SelectObject(dc, labelFont(label));
      int oldMode = SetBkMode(dc, TRANSPARENT);
      auto stored = reinterpret_cast<UINT_PTR>(GetPropA(label, kColourProperty));
      COLORREF oldColour = SetTextColor(dc, stored ? static_cast<COLORREF>(stored - 1) : RGB(0, 0, 0));
      DrawTextA(dc, text.c_str(), length, &client, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      SetTextColor(dc, oldColour);
      SetBkMode(dc, oldMode);
      SelectObject(dc, oldFont);
      EndPaint(label, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      RemovePropA(label, kFontProperty);
      RemovePropA(label, kColourProperty);
      break;
  }
  return DefWindowProcA(label, message, wParam, lParam);
}
}  // namespace

void registerTransparentLabel(HINSTANCE instance) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, kTransparentLabelClass, &existing)) return;
  WNDCLASSA label{};
  label.lpfnWndProc = labelProcedure;
  label.hInstance = instance;
  label.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  label.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  label.lpszClassName = kTransparentLabelClass;
  RegisterClassA(&label);
}

void setLabelTextColour(HWND label, COLORREF colour) {
  SetPropA(label, kColourProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(colour) + 1));
  InvalidateRect(label, nullptr, TRUE);
}

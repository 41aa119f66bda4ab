#include "toolkit/controls.h"

Text controlText(HWND control) {
  int length = GetWindowTextLengthA(control);
  if (length <= 0) return {};
  Text text(static_cast<size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void setControlText(HWND control, std::string_view text) {
  SetWindowTextA(control, Text(text).c_str());
}

void appendText(HWND editBox, std::string_view text) {
  int end = GetWindowTextLengthA(editBox);
  SendMessageA(editBox, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageA(editBox, EM_SCROLLCARET, 0, 0);
  SendMessageA(editBox, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text(text).c_str()));
}

void appendTexts(HWND editBox, const Array<Text>& texts) {
  size_t total = 0;
  for (const Text& text : texts) total += text.size();
  if (total == 0) return;
  Text joined;
  joined.reserve(total);
  for (const Text& text : texts) joined += text;
  appendText(editBox, joined);
}

#include "gfx/wideText.h"

#include "win32/declared.h"

std::wstring toWide(const Text& text) {
  // Measured first; the count includes the terminating zero.
  int count = dll::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (count <= 1) return {};
  std::wstring wide(static_cast<size_t>(count), L'\0');
  dll::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), count);
  wide.resize(static_cast<size_t>(count - 1));
  return wide;
}

Text fromWide(const wchar_t* text) {
  if (!text) return {};
  // The ANSI code page, as toWide reads it: a text read back (a font family's name) goes into
  // the next call unchanged wherever the OEM code page differs from it.
  int count = dll::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (count <= 1) return {};
  Text narrow(static_cast<size_t>(count), ' ');
  dll::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), count, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(count - 1));
  return narrow;
}

Text guidToText(const GUID& guid) {
  wchar_t buffer[39] = {};  // 38 characters and the zero
  if (dll::StringFromGUID2(guid, buffer, static_cast<int>(std::size(buffer))) == 0) return {};
  return fromWide(buffer);
}

bool textToGuid(const Text& text, GUID& guid) {
  guid = GUID{};
  std::wstring wide = toWide(text);
  if (FAILED(dll::CLSIDFromString(wide.c_str(), &guid))) {
    guid = GUID{};
    return false;
  }
  return true;
}

#include "gfx/gdiplusStartup.h"

#include "win32/declared.h"

ULONG_PTR gdiplusToken = 0;

ULONG_PTR startGdiplus(UINT32 version) {
  if (gdiplusToken) return gdiplusToken;
  Gdiplus::GdiplusStartupInput input;  // no debug callback, background thread, external codecs
  input.GdiplusVersion = version;
  ULONG_PTR token = 0;
  dll::GdiplusStartup(&token, &input, nullptr);
  gdiplusToken = token;
  return token;
}

void stopGdiplus() {
  if (!gdiplusToken) return;
  ULONG_PTR token = gdiplusToken;
  gdiplusToken = 0;
  dll::GdiplusShutdown(token);
}

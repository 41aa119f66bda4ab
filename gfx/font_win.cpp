#include "gfx/font.h"

using Gdiplus::GpFont;
using Gdiplus::GpFontCollection;
using Gdiplus::GpFontFamily;

bool FontFamily::Delete() {
  return deleteWith<GpFontFamily>(dll::GdipDeleteFontFamily);
}

bool FontFamily::CreateFromName(const Text& name, const FontCollection* collection) {
  std::wstring wide = toWide(name);
  GpFontCollection* fonts = collection ? handleOf<GpFontCollection>(*collection) : nullptr;
  return create<GpFontFamily>(
      [&](GpFontFamily** out) { return dll::GdipCreateFontFamilyFromName(wide.c_str(), fonts, out); });
}

Text FontFamily::GetName() {
  WCHAR name[LF_FACESIZE] = {};  // 31 characters and the zero
  if (!keepStatus(dll::GdipGetFamilyName(nativeAs<GpFontFamily>(), name, LANG_NEUTRAL))) return {};
  return fromWide(name);
}

bool Font::Delete() {
  return deleteWith<GpFont>(dll::GdipDeleteFont);
}

bool Font::Create(const Text& familyName, float emSize, int style, Gdiplus::Unit unit) {
  if (GetHandle()) Delete();
  FontFamily family;
  // A missing family leaves the font unbound, with FontFamilyNotFound in lastStatus.
  if (!family.CreateFromName(familyName)) return false;
  bool created = create<GpFont>([&](GpFont** out) {
    return dll::GdipCreateFont(static_cast<GpFontFamily*>(family.GetHandle()), emSize, style, unit, out);
  });
  // The temporary family goes now; lastStatus keeps the font's status.
  Gdiplus::Status status = lastStatus;
  family.Delete();
  lastStatus = status;
  return created;
}

bool Font::FromDC(HDC hdc, HFONT handle) {
  LOGFONTA logFont = {};
  if (handle && dll::GetObjectA(handle, sizeof logFont, &logFont) != 0) {
    return create<GpFont>([&](GpFont** out) { return dll::GdipCreateFontFromLogfontA(hdc, &logFont, out); });
  }
  return create<GpFont>([&](GpFont** out) { return dll::GdipCreateFontFromDC(hdc, out); });
}

bool Font::GetFamily(FontFamily& family) {
  if (family.GetHandle()) family.Delete();
  // GDI+ hands out a family object of its own, which the family object then owns.
  GpFontFamily* handle = nullptr;
  Gdiplus::Status status = dll::GdipGetFamily(font(), &handle);
  family.SetHandle(handle);
  return keepStatus(status);
}

int Font::GetStyle() {
  INT style = 0;
  keepStatus(dll::GdipGetFontStyle(font(), &style));
  return style;
}

float Font::GetSize() {
  Gdiplus::REAL size = 0;
  keepStatus(dll::GdipGetFontSize(font(), &size));
  return size;
}

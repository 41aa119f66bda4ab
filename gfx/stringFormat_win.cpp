#include "gfx/stringFormat.h"

using Gdiplus::GpStringFormat;

bool StringFormat::Delete() {
  return deleteWith<GpStringFormat>(dll::GdipDeleteStringFormat);
}

bool StringFormat::Create(int flags, LANGID language) {
  return create<GpStringFormat>(
      [&](GpStringFormat** out) { return dll::GdipCreateStringFormat(flags, language, out); });
}

bool StringFormat::SetAlignment(Gdiplus::StringAlignment alignment) {
  return keepStatus(dll::GdipSetStringFormatAlign(format(), alignment));
}

bool StringFormat::SetLineAlignment(Gdiplus::StringAlignment alignment) {
  return keepStatus(dll::GdipSetStringFormatLineAlign(format(), alignment));
}

bool StringFormat::SetTrimming(Gdiplus::StringTrimming trimming) {
  return keepStatus(dll::GdipSetStringFormatTrimming(format(), trimming));
}

#pragma once
// A GDI+ string format: alignment and trimming of drawn text.
#include "gfx/gdiObject.h"

class StringFormat : public GdiObject {
 public:
  StringFormat() = default;
  StringFormat(StringFormat&&) noexcept = default;
  ~StringFormat() override { Delete(); }

  bool Delete() override;
  // flags: Gdiplus::StringFormatFlags; language: a LANGID (0 = neutral).
  bool Create(int flags = 0, LANGID language = 0);
  bool SetAlignment(Gdiplus::StringAlignment alignment);
  bool SetLineAlignment(Gdiplus::StringAlignment alignment);
  bool SetTrimming(Gdiplus::StringTrimming trimming);

 private:
  Gdiplus::GpStringFormat* format() const { return nativeAs<Gdiplus::GpStringFormat>(); }
};

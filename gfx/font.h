#pragma once
// GDI+ fonts, font families and font collections.
#include "gfx/gdiObject.h"
#include "gfx/wideText.h"

// A set of font families. An unbound collection stands for the installed system fonts.
class FontCollection : public GdiObject {
 public:
  FontCollection() = default;
  FontCollection(FontCollection&&) noexcept = default;

  // Only unbinds: a private collection is made and owned by its creator, this object names it.
  bool Delete() override {
    if (!GetHandle()) return false;
    SetHandle(nullptr);
    return true;
  }
};

class FontFamily : public GdiObject {
 public:
  FontFamily() = default;
  FontFamily(FontFamily&&) noexcept = default;
  ~FontFamily() override { Delete(); }

  bool Delete() override;
  // The family of that name in the collection (the installed fonts when none is given).
  bool CreateFromName(const Text& name, const FontCollection* collection = nullptr);
  // The family's name (at most 31 UTF-16 characters), as text; empty on failure.
  Text GetName();
};

class Font : public GdiObject {
 public:
  Font() = default;
  Font(Font&&) noexcept = default;
  ~Font() override { Delete(); }

  bool Delete() override;
  // A font of the installed family of that name. style: Gdiplus::FontStyle flags.
  bool Create(const Text& familyName, float emSize, int style = Gdiplus::FontStyleRegular,
              Gdiplus::Unit unit = Gdiplus::UnitWorld);
  // The font with that GDI handle, falling back to the device context's current font.
  bool FromDC(HDC hdc, HFONT font = nullptr);
  // Binds family to this font's family.
  bool GetFamily(FontFamily& family);
  int GetStyle();
  float GetSize();

 private:
  Gdiplus::GpFont* font() const { return nativeAs<Gdiplus::GpFont>(); }
};

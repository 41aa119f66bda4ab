#pragma once
// GDI+ images and bitmaps, decoded from files or from memory and encoded back to bytes.
#include <cstddef>
#include <cstdint>

#include "gfx/gdiObject.h"
#include "gfx/memoryStream.h"
#include "gfx/wideText.h"

// Image format GUIDs as text, as SaveToBytes takes them.
inline constexpr const char* kPngFormat = "{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}";
inline constexpr const char* kJpegFormat = "{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}";

class Image : public GdiObject {
 public:
  Image() = default;
  Image(Image&&) noexcept = default;
  ~Image() override { Dispose(); }

  bool Delete() override { return Dispose(); }
  // Disposes of the GDI+ image, then lets go of the stream it was decoded from.
  bool Dispose();

  bool LoadFromFile(const Text& fileName, bool useColourManagement = false);
  // Decodes from a private copy of the bytes, which lives as long as the image.
  bool LoadFromBytes(const std::uint8_t* data, std::size_t size, bool useColourManagement = false);
  bool LoadFromBytes(const ByteSet& bytes, bool useColourManagement = false) {
    return LoadFromBytes(bytes.data(), bytes.size(), useColourManagement);
  }

  // The image encoded in the format given as GUID text (its own format when left out); empty
  // when no installed encoder handles that format or the encoding fails.
  ByteSet SaveToBytes(const Text& format = {}, const Gdiplus::EncoderParameters* parameters = nullptr);
  // The format the image was decoded from, as GUID text.
  Text GetRawFormat() const;

  int GetWidth() const;
  int GetHeight() const;
  bool RotateFlip(Gdiplus::RotateFlipType type);

 protected:
  Gdiplus::GpImage* image() const { return nativeAs<Gdiplus::GpImage>(); }
  // Releases any previous image and stream, then copies the bytes into a fresh stream.
  IStream* prepareStream(const std::uint8_t* data, std::size_t size);

  MemoryStream stream_;
};

class Bitmap : public Image {
 public:
  Bitmap() = default;
  Bitmap(Bitmap&&) noexcept = default;

  bool FromFile(const Text& fileName, bool useColourManagement = false);
  bool FromBytes(const std::uint8_t* data, std::size_t size, bool useColourManagement = false);
  bool FromBytes(const ByteSet& bytes, bool useColourManagement = false) {
    return FromBytes(bytes.data(), bytes.size(), useColourManagement);
  }
  // An empty (transparent) bitmap; 32 bits per pixel ARGB unless another format is given.
  bool Create(int width, int height, Gdiplus::PixelFormat format = PixelFormat32bppARGB);
  bool FromIcon(HICON icon);

  // A GDI bitmap of the picture over the background colour; the caller owns it. Null on failure.
  HBITMAP GetHBITMAP(Argb background);
  // The ARGB colour of one pixel (0 on failure).
  Argb GetPixel(int x, int y) const;

 private:
  Gdiplus::GpBitmap* bitmap() const { return nativeAs<Gdiplus::GpBitmap>(); }
};

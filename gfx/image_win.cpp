#include "gfx/image.h"

#include <vector>

using Gdiplus::GpBitmap;
using Gdiplus::GpImage;

namespace {

// The class GUID text of the installed encoder for a format GUID text; empty when none.
Text encoderForFormat(const Text& format) {
  UINT count = 0;
  UINT size = 0;
  if (!keepStatus(dll::GdipGetImageEncodersSize(&count, &size)) || count == 0) return {};
  // The codec records are followed by the strings they point to, in the same block.
  std::vector<Gdiplus::ImageCodecInfo> codecs((size + sizeof(Gdiplus::ImageCodecInfo) - 1) /
                                              sizeof(Gdiplus::ImageCodecInfo));
  if (!keepStatus(dll::GdipGetImageEncoders(count, size, codecs.data()))) return {};
  for (UINT i = 0; i < count; ++i) {
    if (guidToText(codecs[i].FormatID) == format) return guidToText(codecs[i].Clsid);
  }
  return {};
}

}  // namespace

bool Image::Dispose() {
  if (!native()) return false;
  Gdiplus::Status status = dll::GdipDisposeImage(image());
  SetHandle(nullptr);
  // GDI+ may read the stream until the image is gone, so the stream goes after it.
  stream_.Release();
  return keepStatus(status);
}

IStream* Image::prepareStream(const std::uint8_t* data, std::size_t size) {
  Dispose();
  stream_.Release();
  return stream_.CreateFromBytes(data, size);
}

bool Image::LoadFromFile(const Text& fileName, bool useColourManagement) {
  Dispose();
  std::wstring wide = toWide(fileName);
  return create<GpImage>([&](GpImage** out) {
    return useColourManagement ? dll::GdipLoadImageFromFileICM(wide.c_str(), out)
                               : dll::GdipLoadImageFromFile(wide.c_str(), out);
  });
}

bool Image::LoadFromBytes(const std::uint8_t* data, std::size_t size, bool useColourManagement) {
  IStream* stream = prepareStream(data, size);
  bool loaded = create<GpImage>([&](GpImage** out) {
    return useColourManagement ? dll::GdipLoadImageFromStreamICM(stream, out)
                               : dll::GdipLoadImageFromStream(stream, out);
  });
  if (!loaded) stream_.Release();
  return loaded;
}

ByteSet Image::SaveToBytes(const Text& format, const Gdiplus::EncoderParameters* parameters) {
  Text encoder = encoderForFormat(format.empty() ? GetRawFormat() : format);
  if (encoder.empty()) return {};
  CLSID encoderClass;
  if (!textToGuid(encoder, encoderClass)) return {};
  MemoryStream output;
  if (!output.CreateFromBytes(nullptr, 0)) return {};
  if (!keepStatus(dll::GdipSaveImageToStream(image(), output.GetStream(), &encoderClass, parameters))) return {};
  return output.ToBytes();
}

Text Image::GetRawFormat() const {
  GUID format = {};
  if (!keepStatus(dll::GdipGetImageRawFormat(image(), &format))) return {};
  return guidToText(format);
}

int Image::GetWidth() const {
  UINT width = 0;
  keepStatus(dll::GdipGetImageWidth(image(), &width));
  return static_cast<int>(width);
}

int Image::GetHeight() const {
  UINT height = 0;
  keepStatus(dll::GdipGetImageHeight(image(), &height));
  return static_cast<int>(height);
}

bool Image::RotateFlip(Gdiplus::RotateFlipType type) {
  return keepStatus(dll::GdipImageRotateFlip(image(), type));
}

bool Bitmap::FromFile(const Text& fileName, bool useColourManagement) {
  Dispose();
  std::wstring wide = toWide(fileName);
  return create<GpBitmap>([&](GpBitmap** out) {
    return useColourManagement ? dll::GdipCreateBitmapFromFileICM(wide.c_str(), out)
                               : dll::GdipCreateBitmapFromFile(wide.c_str(), out);
  });
}

bool Bitmap::FromBytes(const std::uint8_t* data, std::size_t size, bool useColourManagement) {
  IStream* stream = prepareStream(data, size);
  bool loaded = create<GpBitmap>([&](GpBitmap** out) {
    return useColourManagement ? dll::GdipCreateBitmapFromStreamICM(stream, out)
                               : dll::GdipCreateBitmapFromStream(stream, out);
  });
  if (!loaded) stream_.Release();
  return loaded;
}

bool Bitmap::Create(int width, int height, Gdiplus::PixelFormat format) {
  Dispose();
  return create<GpBitmap>(
      [&](GpBitmap** out) { return dll::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, out); });
}

bool Bitmap::FromIcon(HICON icon) {
  Dispose();
  return create<GpBitmap>([&](GpBitmap** out) { return dll::GdipCreateBitmapFromHICON(icon, out); });
}

HBITMAP Bitmap::GetHBITMAP(Argb background) {
  HBITMAP result = nullptr;
  if (!keepStatus(dll::GdipCreateHBITMAPFromBitmap(bitmap(), &result, background))) return nullptr;
  return result;
}

Argb Bitmap::GetPixel(int x, int y) const {
  Argb colour = 0;
  keepStatus(dll::GdipBitmapGetPixel(bitmap(), x, y, &colour));
  return colour;
}

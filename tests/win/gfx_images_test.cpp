// Images and bitmaps: creation, decoding from memory and files, PNG/JPEG encoding with the
// encoder lookup, GDI bitmaps, and the memory stream under them.
#include <cstring>
#include <memory>

#include "gfx/brush.h"
#include "gfxTesting.h"

namespace {

constexpr Argb kRed = 0xFFFF0000;
constexpr Argb kGreen = 0xFF00FF00;
constexpr Argb kBlue = 0xFF0000FF;
constexpr Argb kClear = 0x00000000;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool startsWith(const ByteSet& bytes, const std::uint8_t* prefix, size_t count) {
  return bytes.size() >= count && std::memcmp(bytes.data(), prefix, count) == 0;
}

Gdiplus::PixelFormat pixelFormat(const Image& image) {
  Gdiplus::PixelFormat format = 0;
  Gdiplus::DllExports::GdipGetImagePixelFormat(static_cast<Gdiplus::GpImage*>(image.GetHandle()), &format);
  return format;
}

// A 3 x 2 picture: red, green, blue along the top row, transparent below.
ByteSet threeColourPng() {
  Bitmap bitmap;
  EXPECT_TRUE(bitmap.Create(3, 2));
  Graphics graphics;
  EXPECT_TRUE(graphics.FromImage(bitmap));
  const Argb colours[3] = {kRed, kGreen, kBlue};
  for (int x = 0; x < 3; ++x) {
    SolidBrush brush;
    EXPECT_TRUE(brush.Create(colours[x]));
    EXPECT_TRUE(graphics.FillRectangle(brush, static_cast<float>(x), 0, 1, 1));
  }
  graphics.Delete();
  return bitmap.SaveToBytes(kPngFormat);
}

TEST(Bitmaps, CreateDefaultsTo32BitArgbAndKeepsAlpha) {
  Canvas canvas(4, 3, 0x80FF0000);
  EXPECT_EQ(pixelFormat(canvas.bitmap), PixelFormat32bppARGB);
  EXPECT_EQ(canvas.bitmap.GetWidth(), 4);
  EXPECT_EQ(canvas.bitmap.GetHeight(), 3);
  EXPECT_EQ(canvas.at(2, 1), 0x80FF0000u);

  Bitmap opaque;
  ASSERT_TRUE(opaque.Create(4, 3, PixelFormat24bppRGB));
  EXPECT_EQ(pixelFormat(opaque), PixelFormat24bppRGB);

  Bitmap tooLarge;
  EXPECT_FALSE(tooLarge.Create(-1, 3));
  EXPECT_NE(lastStatus, Gdiplus::Ok);
  EXPECT_EQ(tooLarge.GetHandle(), nullptr);
}

// GDI+ may read the stream an image was decoded from until the image is gone.
TEST(Decoding, DisposeLetsTheImageGoBeforeItsStreamAndOnlyOnce) {
  ByteSet png = threeColourPng();
  RowSpy<dll::GdipDisposeImage> dispose;
  RowSpy<dll::GlobalFree> freeBlock;
  int blocksFreedBeforeTheImage = -1;
  dispose.onCall = [&](Gdiplus::GpImage*) { blocksFreedBeforeTheImage = freeBlock.calls; };
  {
    Image image;
    ASSERT_TRUE(image.LoadFromBytes(png));
    EXPECT_TRUE(image.Dispose());
    EXPECT_EQ(blocksFreedBeforeTheImage, 0) << "the stream went before the image";
    EXPECT_EQ(freeBlock.calls, 1) << "the stream's block was not freed";
    EXPECT_FALSE(image.Dispose());
    EXPECT_FALSE(image.Delete());
  }
  EXPECT_EQ(dispose.calls, 1);
}

TEST(Bitmaps, RotateFlipTurnsThePicture) {
  Bitmap bitmap;
  ASSERT_TRUE(bitmap.FromBytes(threeColourPng()));
  ASSERT_TRUE(bitmap.RotateFlip(Gdiplus::Rotate90FlipNone));
  EXPECT_EQ(bitmap.GetWidth(), 2);
  EXPECT_EQ(bitmap.GetHeight(), 3);
  EXPECT_EQ(bitmap.GetPixel(1, 2), kBlue);  // the top row now runs down the right edge
}

TEST(Bitmaps, GetHBITMAPLaysThePictureOverTheBackground) {
  Bitmap bitmap;
  ASSERT_TRUE(bitmap.FromBytes(threeColourPng()));
  HBITMAP gdiBitmap = bitmap.GetHBITMAP(0xFF808080);
  ASSERT_NE(gdiBitmap, nullptr);
  BITMAP info = {};
  ASSERT_TRUE(GetObjectA(gdiBitmap, sizeof info, &info));
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 2);

  BITMAPINFO header = {};
  header.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD pixels[6] = {};
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDIBits(screen, gdiBitmap, 0, 2, pixels, &header, DIB_RGB_COLORS), 2);
  ReleaseDC(nullptr, screen);
  DeleteObject(gdiBitmap);
  EXPECT_EQ(pixels[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(pixels[4] & 0xFFFFFF, 0x808080u);  // transparent: the background colour

  Bitmap unbound;
  EXPECT_EQ(unbound.GetHBITMAP(0), nullptr);
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);
}

TEST(Bitmaps, FromIconTakesTheIconsSize) {
  Bitmap bitmap;
  ASSERT_TRUE(bitmap.FromIcon(LoadIconA(nullptr, IDI_APPLICATION)));
  EXPECT_EQ(bitmap.GetWidth(), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(bitmap.GetHeight(), GetSystemMetrics(SM_CYICON));
}

TEST(Encoding, SaveToBytesWritesAPngAndNothingForAnUnknownFormat) {
  ByteSet png = threeColourPng();
  ASSERT_TRUE(startsWith(png, kPngSignature, sizeof kPngSignature));
  Bitmap decoded;
  ASSERT_TRUE(decoded.FromBytes(png));
  EXPECT_EQ(decoded.GetWidth(), 3);
  EXPECT_EQ(decoded.GetPixel(1, 0), kGreen);
  EXPECT_EQ(decoded.GetPixel(1, 1), kClear);

  EXPECT_TRUE(decoded.SaveToBytes("{00000000-0000-0000-0000-000000000000}").empty());
  // The lookup compares the text byte for byte, as StringFromGUID2 writes it (upper case).
  EXPECT_TRUE(decoded.SaveToBytes("{b96b3caf-0728-11d3-9d7b-0000f81ef32e}").empty());
  Image unbound;
  EXPECT_TRUE(unbound.SaveToBytes(kPngFormat).empty());
}

TEST(Encoding, SaveToBytesWithoutAFormatKeepsTheImagesOwn) {
  Image fromPng;
  ASSERT_TRUE(fromPng.LoadFromBytes(threeColourPng()));
  EXPECT_EQ(fromPng.GetRawFormat(), Text(kPngFormat));
  EXPECT_TRUE(startsWith(fromPng.SaveToBytes(), kPngSignature, sizeof kPngSignature));

  ByteSet jpeg = fromPng.SaveToBytes(kJpegFormat);
  const std::uint8_t jpegStart[3] = {0xFF, 0xD8, 0xFF};
  ASSERT_TRUE(startsWith(jpeg, jpegStart, 3));
  Image fromJpeg;
  ASSERT_TRUE(fromJpeg.LoadFromBytes(jpeg));
  EXPECT_EQ(fromJpeg.GetRawFormat(), Text(kJpegFormat));
  EXPECT_TRUE(startsWith(fromJpeg.SaveToBytes(), jpegStart, 3));
}

TEST(Decoding, LoadFromBytesKeepsWorkingAfterTheCallersBytesAreGone) {
  ByteSet png = threeColourPng();
  auto callers = std::make_unique<std::uint8_t[]>(png.size());
  std::memcpy(callers.get(), png.data(), png.size());
  Image image;
  ASSERT_TRUE(image.LoadFromBytes(callers.get(), png.size()));
  std::memset(callers.get(), 0, png.size());
  callers.reset();

  EXPECT_EQ(image.GetWidth(), 3);
  Canvas canvas(3, 2, 0xFFFFFFFF);
  ASSERT_TRUE(canvas.graphics.DrawImage(image, 0, 0));
  EXPECT_EQ(canvas.at(2, 0), kBlue);
  EXPECT_TRUE(startsWith(image.SaveToBytes(), kPngSignature, sizeof kPngSignature));
}

TEST(Decoding, BytesThatAreNoPictureLeaveTheImageUnbound) {
  Image image;
  EXPECT_FALSE(image.LoadFromBytes(toBytes("no picture here")));
  EXPECT_NE(lastStatus, Gdiplus::Ok);
  EXPECT_EQ(image.GetHandle(), nullptr);
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_FALSE(image.LoadFromBytes(ByteSet()));

  // A failed load also lets go of a picture loaded before.
  ASSERT_TRUE(image.LoadFromBytes(threeColourPng()));
  EXPECT_FALSE(image.LoadFromBytes(toBytes("no picture here")));
  EXPECT_EQ(image.GetHandle(), nullptr);
}

TEST(Decoding, FilesWithChineseNamesLoad) {
  const char* name = "图片测试.png";
  ByteSet png = threeColourPng();
  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
  CloseHandle(file);

  Image image;
  EXPECT_TRUE(image.LoadFromFile(name));
  EXPECT_EQ(image.GetWidth(), 3);
  Bitmap bitmap;
  EXPECT_TRUE(bitmap.FromFile(name, true));
  EXPECT_EQ(bitmap.GetPixel(0, 0), kRed);
  image.Dispose();
  bitmap.Dispose();
  DeleteFileA(name);

  EXPECT_FALSE(image.LoadFromFile("没有这个文件.png"));
  EXPECT_EQ(image.GetHandle(), nullptr);
}

// The private copy and the growing stream are used above (LoadFromBytes, SaveToBytes).
TEST(MemoryStreams, ReleaseLetsGoAndAttachTakesOverAnotherStreamWithItsBlock) {
  MemoryStream stream;
  ASSERT_NE(stream.CreateFromBytes(toBytes("stream bytes")), nullptr);
  EXPECT_EQ(stream.GetSize(), 12u);
  stream.Release();
  EXPECT_EQ(stream.GetStream(), nullptr);
  EXPECT_EQ(stream.GetGlobal(), nullptr);
  EXPECT_TRUE(stream.ToBytes().empty());

  IStream* other = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, FALSE, &other), S_OK);
  ULONG written = 0;
  other->Write("xyz!", 4, &written);
  ASSERT_TRUE(stream.Attach(other));
  EXPECT_EQ(stream.GetStream(), other);
  EXPECT_EQ(toText(stream.ToBytes()), "xyz!");
}

}  // namespace

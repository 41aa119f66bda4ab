// The pictures the program carries: each embedded block decodes, through the image classes,
// to the size the skin's layout assumes, in the format the skin expects.
#include <algorithm>

#include "gfxTesting.h"
#include "resources/pictures.h"

namespace {

Gdiplus::PixelFormat pixelFormat(const Image& image) {
  Gdiplus::PixelFormat format = 0;
  Gdiplus::DllExports::GdipGetImagePixelFormat(static_cast<Gdiplus::GpImage*>(image.GetHandle()), &format);
  return format;
}

bool containsMarker(const EmbeddedBytes& bytes, std::uint8_t first, std::uint8_t second) {
  return std::adjacent_find(bytes.begin(), bytes.end(),
                            [&](std::uint8_t a, std::uint8_t b) { return a == first && b == second; }) != bytes.end();
}

TEST(EmbeddedPictures, EachDecodesToItsListedSize) {
  for (const EmbeddedPicture& picture : kEmbeddedPictures) {
    SCOPED_TRACE(picture.name);
    EXPECT_EQ(picture.bytes->dimensions, 1);
    Image image;
    ASSERT_TRUE(image.LoadFromBytes(picture.bytes->begin(), static_cast<size_t>(picture.bytes->count)));
    EXPECT_EQ(image.GetWidth(), picture.width);
    EXPECT_EQ(image.GetHeight(), picture.height);
  }
}

TEST(EmbeddedPictures, GlyphsAreRgbaPngsWithTransparency) {
  for (const EmbeddedPicture& picture : kEmbeddedPictures) {
    if (picture.bytes == &qv_picture_background) continue;
    SCOPED_TRACE(picture.name);
    const std::uint8_t* png = picture.bytes->begin();
    ASSERT_GT(picture.bytes->count, 26);
    EXPECT_EQ(png[24], 8);  // IHDR: 8 bits per channel
    EXPECT_EQ(png[25], 6);  // colour type 6: RGB with alpha
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.FromBytes(png, static_cast<size_t>(picture.bytes->count)));
    EXPECT_EQ(bitmap.GetRawFormat(), Text(kPngFormat));
    EXPECT_EQ(pixelFormat(bitmap), PixelFormat32bppARGB);
    // A solid glyph with see-through parts around or inside it.
    unsigned least = 255, most = 0;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        unsigned alpha = bitmap.GetPixel(x, y) >> 24;
        least = std::min(least, alpha);
        most = std::max(most, alpha);
      }
    }
    EXPECT_GE(most, 230u);
    EXPECT_LE(least, 64u);
  }
}

TEST(EmbeddedPictures, TheBackgroundIsAProgressiveJpegWithExif) {
  const EmbeddedBytes& background = qv_picture_background;
  EXPECT_EQ(background.data[0], 0xFF);
  EXPECT_EQ(background.data[1], 0xD8);
  EXPECT_TRUE(containsMarker(background, 0xFF, 0xC2)) << "no progressive frame header";
  EXPECT_TRUE(containsMarker(background, 0xFF, 0xE1)) << "no EXIF block";
  EXPECT_GT(background.count, 150 * 1024);
  EXPECT_LT(background.count, 900 * 1024);

  // Medium-dark, so that white text stays legible over it: the mean over a sparse grid.
  Bitmap bitmap;
  ASSERT_TRUE(bitmap.FromBytes(background.begin(), static_cast<size_t>(background.count)));
  EXPECT_EQ(bitmap.GetRawFormat(), Text(kJpegFormat));
  double sum = 0;
  int samples = 0;
  for (int y = 0; y < 900; y += 30) {
    for (int x = 0; x < 1600; x += 40) {
      Argb pixel = bitmap.GetPixel(x, y);
      sum += 0.299 * ((pixel >> 16) & 0xFF) + 0.587 * ((pixel >> 8) & 0xFF) + 0.114 * (pixel & 0xFF);
      ++samples;
    }
  }
  double luminance = sum / samples;
  EXPECT_GT(luminance, 30.0);
  EXPECT_LT(luminance, 120.0);
}

}  // namespace

#pragma once
// Shared by the gfx_* test programs: GDI+ for the whole run, a bitmap canvas to draw on and
// read back, and the spy on declared-function rows (support/rowSpy.h).
#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/gdiplusStartup.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "support/rowSpy.h"

class GdiplusEnvironment : public testing::Environment {
 public:
  void SetUp() override { startGdiplus(); }
  void TearDown() override { stopGdiplus(); }
};

inline testing::Environment* const gdiplusEnvironment = testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// A 32-bit ARGB bitmap with a graphics on it, cleared to a background colour.
struct Canvas {
  Bitmap bitmap;
  Graphics graphics;

  Canvas(int width, int height, Argb background) {
    EXPECT_TRUE(bitmap.Create(width, height));
    EXPECT_TRUE(graphics.FromImage(bitmap));
    EXPECT_TRUE(graphics.Clear(background));
  }
  Argb at(int x, int y) const { return bitmap.GetPixel(x, y); }
};

// True when every channel of the two colours differs by at most tolerance.
inline bool colourNear(Argb actual, Argb expected, int tolerance = 8) {
  for (int shift = 0; shift < 32; shift += 8) {
    int a = static_cast<int>((actual >> shift) & 0xFF);
    int e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) return false;
  }
  return true;
}

#define EXPECT_COLOUR_NEAR(actual, expected) \
  EXPECT_PRED2([](Argb a, Argb e) { return colourNear(a, e); }, actual, expected)

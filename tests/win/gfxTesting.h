#pragma once
// Shared by the gfx_* test programs: GDI+ for the whole run, a bitmap canvas to draw on and
// read back, and a spy that counts the calls made through one declared-function row.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <type_traits>

#include "gfx/gdiplusStartup.h"
#include "gfx/graphics.h"
#include "gfx/image.h"

class GdiplusEnvironment : public testing::Environment {
 public:
  void SetUp() override { token_ = startGdiplus(); }
  void TearDown() override { stopGdiplus(token_); }

 private:
  ULONG_PTR token_ = 0;
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

// While it lives, calls through the row go to a forwarder that counts them and keeps the last
// arguments, then calls the real function.
template <auto& row>
class RowSpy;

template <typename R, typename... A, DeclaredFunction<R WINAPI(A...)>& row>
class RowSpy<row> {
 public:
  RowSpy() {
    real_ = row.target();
    calls = 0;
    address().store(reinterpret_cast<void*>(&forward));
  }
  ~RowSpy() { address().store(reinterpret_cast<void*>(real_)); }
  RowSpy(const RowSpy&) = delete;
  RowSpy& operator=(const RowSpy&) = delete;

  static inline int calls = 0;
  static inline std::tuple<std::decay_t<A>...> lastArguments;

 private:
  static R WINAPI forward(A... arguments) {
    ++calls;
    lastArguments = std::tuple<std::decay_t<A>...>(arguments...);
    return real_(arguments...);
  }
  // The table's rows are ordinary (non-const) objects; row() only offers a read-only view.
  static std::atomic<void*>& address() { return const_cast<DeclaredRow&>(row.row()).address; }

  static inline R(WINAPI* real_)(A...) = nullptr;
};

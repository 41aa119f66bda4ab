// The GDI+ object model (binding, Delete, lastStatus) and drawing with graphics, paths, pens
// and brushes, checked on the pixels of a bitmap.
#include <array>

#include "gfx/brush.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "gfxTesting.h"

namespace {

constexpr Argb kWhite = 0xFFFFFFFF;
constexpr Argb kRed = 0xFFFF0000;
constexpr Argb kGreen = 0xFF00FF00;
constexpr Argb kBlue = 0xFF0000FF;
constexpr Argb kYellow = 0xFFFFFF00;

// Delete, the destructor and a move together call GDI+ once per object.
TEST(GdiObjectModel, EachObjectIsDeletedOnceHoweverItEnds) {
  RowSpy<dll::GdipDeletePen> deletePen;
  RowSpy<dll::GdipDeletePath> deletePath;
  RowSpy<dll::GdipDeleteBrush> deleteBrush;
  {
    Pen pen;
    ASSERT_TRUE(pen.Create(kRed, 1));
    EXPECT_EQ(pen.native(), pen.GetHandle());
    EXPECT_TRUE(pen.Delete());
    EXPECT_EQ(pen.GetHandle(), nullptr);
    lastStatus = Gdiplus::OutOfMemory;  // untouched when nothing is called
    EXPECT_FALSE(pen.Delete());
    EXPECT_EQ(lastStatus, Gdiplus::OutOfMemory);

    Pen first;
    ASSERT_TRUE(first.Create(kRed, 1));
    GdiHandle handle = first.GetHandle();
    Pen second(std::move(first));
    EXPECT_EQ(first.GetHandle(), nullptr);
    EXPECT_EQ(second.GetHandle(), handle);

    GraphicsPath path;
    ASSERT_TRUE(path.Create());
    ASSERT_TRUE(path.AddEllipse(0, 0, 10, 10));
    PathGradientBrush brush;
    ASSERT_TRUE(brush.CreateFromPath(path));
  }
  EXPECT_EQ(deletePen.calls, 2);
  EXPECT_EQ(deletePath.calls, 1);
  EXPECT_EQ(deleteBrush.calls, 1);
}

TEST(GdiObjectModel, CreatingOverABoundObjectDeletesTheOldOne) {
  RowSpy<dll::GdipDeleteBrush> deleteBrush;
  SolidBrush brush;
  ASSERT_TRUE(brush.Create(kRed));
  GdiHandle first = brush.GetHandle();
  ASSERT_TRUE(brush.Create(kBlue));
  EXPECT_EQ(deleteBrush.calls, 1);
  EXPECT_EQ(std::get<0>(deleteBrush.lastArguments), first);
}

TEST(GdiObjectModel, OperationsOnUnboundObjectsFailAndLeaveTheStatus) {
  Pen pen;
  EXPECT_FALSE(pen.SetWidth(2));
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);

  Graphics graphics;
  SolidBrush brush;
  ASSERT_TRUE(brush.Create(kRed));
  EXPECT_EQ(lastStatus, Gdiplus::Ok);
  EXPECT_FALSE(graphics.FillRectangle(brush, 0, 0, 1, 1));
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);

  // A failed create leaves the object unbound.
  Canvas canvas(4, 4, kWhite);
  EXPECT_TRUE(graphics.FromImage(canvas.bitmap));
  Bitmap unbound;
  EXPECT_FALSE(graphics.FromImage(unbound));
  EXPECT_EQ(graphics.GetHandle(), nullptr);
  EXPECT_FALSE(graphics.Delete());
}

TEST(GraphicsDrawing, FillPathPaintsInsideTheEllipseOnly) {
  Canvas canvas(40, 40, kWhite);
  GraphicsPath path;
  ASSERT_TRUE(path.Create());
  ASSERT_TRUE(path.AddEllipse(0, 0, 40, 40));
  SolidBrush brush;
  ASSERT_TRUE(brush.Create(kRed));
  ASSERT_TRUE(canvas.graphics.FillPath(brush, path));
  EXPECT_EQ(canvas.at(20, 20), kRed);
  EXPECT_EQ(canvas.at(1, 1), kWhite);
  EXPECT_EQ(canvas.at(38, 38), kWhite);
}

TEST(GraphicsDrawing, PathFiguresAddUp) {
  // An open triangle, closed by CloseFigure, and a rectangle: FillPath fills both.
  Canvas canvas(60, 30, kWhite);
  GraphicsPath path;
  ASSERT_TRUE(path.Create());
  ASSERT_TRUE(path.AddLine(0, 0, 20, 0));
  ASSERT_TRUE(path.AddLine(20, 0, 0, 20));
  ASSERT_TRUE(path.CloseFigure());
  ASSERT_TRUE(path.AddRectangle(40, 0, 20, 30));
  SolidBrush brush;
  ASSERT_TRUE(brush.Create(kBlue));
  ASSERT_TRUE(canvas.graphics.FillPath(brush, path));
  EXPECT_EQ(canvas.at(4, 4), kBlue);
  EXPECT_EQ(canvas.at(18, 18), kWhite);
  EXPECT_EQ(canvas.at(50, 25), kBlue);

  ASSERT_TRUE(path.Reset());
  ASSERT_TRUE(path.AddArc(0, 0, 20, 20, 180, 90));  // a quarter arc alone fills its chord segment
  ASSERT_TRUE(canvas.graphics.Clear(kWhite));
  ASSERT_TRUE(canvas.graphics.FillPath(brush, path));
  EXPECT_EQ(canvas.at(50, 25), kWhite);
}

TEST(GraphicsDrawing, LinearGradientRunsBetweenItsEndColours) {
  Canvas canvas(100, 4, kWhite);
  LinearGradientBrush brush;
  ASSERT_TRUE(brush.Create(PointF(0, 0), PointF(100, 0), kRed, kBlue));
  ASSERT_TRUE(canvas.graphics.FillRectangle(brush, 0, 0, 100, 4));
  EXPECT_COLOUR_NEAR(canvas.at(0, 1), kRed);
  EXPECT_COLOUR_NEAR(canvas.at(99, 1), kBlue);
  EXPECT_COLOUR_NEAR(canvas.at(50, 1), 0xFF7F007F);
}

TEST(GraphicsDrawing, PresetBlendWithThreeColoursPassesThreeAndShowsTheMiddleColour) {
  RowSpy<dll::GdipSetLinePresetBlend> presetBlend;
  Canvas canvas(100, 4, kWhite);
  LinearGradientBrush brush;
  ASSERT_TRUE(brush.Create(PointF(0, 0), PointF(100, 0), kRed, kBlue));
  const std::array<Argb, 3> colours = {kRed, kGreen, kBlue};
  const std::array<float, 3> positions = {0.0f, 0.5f, 1.0f};
  ASSERT_TRUE(brush.SetPresetBlend(colours, positions));
  EXPECT_EQ(std::get<3>(presetBlend.lastArguments), 3);
  ASSERT_TRUE(canvas.graphics.FillRectangle(brush, 0, 0, 100, 4));
  EXPECT_COLOUR_NEAR(canvas.at(0, 1), kRed);
  EXPECT_COLOUR_NEAR(canvas.at(50, 1), kGreen);
  EXPECT_COLOUR_NEAR(canvas.at(99, 1), kBlue);

  // Fewer positions than colours would make GDI+ read past them: refused before the call.
  const std::array<float, 2> tooFew = {0.0f, 1.0f};
  EXPECT_FALSE(brush.SetPresetBlend(colours, tooFew));
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);
  EXPECT_EQ(presetBlend.calls, 1);
}

TEST(GraphicsDrawing, LinearBlendMovesThePeak) {
  // Focus 0.5 with scale 1: the second colour peaks in the middle and both ends keep the first.
  Canvas canvas(100, 4, kWhite);
  LinearGradientBrush brush;
  ASSERT_TRUE(brush.Create(PointF(0, 0), PointF(100, 0), kRed, kBlue));
  ASSERT_TRUE(brush.SetLinearBlend(0.5f, 1.0f));
  ASSERT_TRUE(canvas.graphics.FillRectangle(brush, 0, 0, 100, 4));
  EXPECT_COLOUR_NEAR(canvas.at(0, 1), kRed);
  EXPECT_COLOUR_NEAR(canvas.at(50, 1), kBlue);
  EXPECT_COLOUR_NEAR(canvas.at(99, 1), kRed);
}

TEST(GraphicsDrawing, PathGradientGoesFromTheCentreToTheSurroundColours) {
  Canvas canvas(41, 41, kWhite);
  GraphicsPath path;
  ASSERT_TRUE(path.Create());
  ASSERT_TRUE(path.AddRectangle(0, 0, 41, 41));  // four points
  PathGradientBrush brush;
  ASSERT_TRUE(brush.CreateFromPath(path));
  ASSERT_TRUE(brush.SetCenterColor(kBlue));

  const std::array<Argb, 4> surround = {kRed, kRed, kRed, kRed};
  ASSERT_TRUE(brush.SetSurroundColors(surround));  // count left out: all four
  Gdiplus::ARGB readBack[4] = {};
  INT readCount = 4;
  ASSERT_EQ(Gdiplus::DllExports::GdipGetPathGradientSurroundColorsWithCount(
                static_cast<Gdiplus::GpPathGradient*>(brush.GetHandle()), readBack, &readCount),
            Gdiplus::Ok);
  EXPECT_EQ(readBack[3], kRed);

  ASSERT_TRUE(canvas.graphics.FillPath(brush, path));
  EXPECT_COLOUR_NEAR(canvas.at(20, 20), kBlue);
  // The edge pixels lie on the path, where the surround colour is reached.
  EXPECT_TRUE(colourNear(canvas.at(0, 0), kRed, 16));
  EXPECT_TRUE(colourNear(canvas.at(40, 40), kRed, 16));
}

TEST(GraphicsDrawing, SurroundColourCountIsPassedAndReadBack) {
  GraphicsPath path;
  ASSERT_TRUE(path.Create());
  ASSERT_TRUE(path.AddRectangle(0, 0, 10, 10));
  PathGradientBrush brush;
  ASSERT_TRUE(brush.CreateFromPath(path));

  const std::array<Argb, 4> four = {kRed, kGreen, kBlue, kYellow};
  int count = 2;  // only the first two of the colours given
  EXPECT_TRUE(brush.SetSurroundColors(four, &count));
  EXPECT_EQ(count, 2);

  count = 5;  // more than the colours given: refused, GDI+ would read past them
  EXPECT_FALSE(brush.SetSurroundColors(four, &count));
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);

  const std::array<Argb, 6> six = {kRed, kRed, kRed, kRed, kRed, kRed};  // more than the path's points
  EXPECT_FALSE(brush.SetSurroundColors(six));
  EXPECT_EQ(lastStatus, Gdiplus::InvalidParameter);
}

TEST(GraphicsDrawing, PensDrawWithTheirColourAndWidth) {
  // Whole-pixel coordinates: without anti-aliasing a 1-pixel line covers exactly that row.
  Canvas canvas(40, 40, kWhite);
  Pen pen;
  ASSERT_TRUE(pen.Create(kRed, 1));
  ASSERT_TRUE(canvas.graphics.DrawLine(pen, 0, 10, 40, 10));
  EXPECT_EQ(canvas.at(20, 10), kRed);
  EXPECT_EQ(canvas.at(20, 12), kWhite);

  ASSERT_TRUE(pen.SetWidth(5));
  ASSERT_TRUE(canvas.graphics.DrawLine(pen, 0, 30, 40, 30));
  EXPECT_EQ(canvas.at(20, 28), kRed);
  EXPECT_EQ(canvas.at(20, 32), kRed);

  SolidBrush blue;
  ASSERT_TRUE(blue.Create(kBlue));
  Pen fromBrush;
  ASSERT_TRUE(fromBrush.CreateFromBrush(blue, 1));
  ASSERT_TRUE(canvas.graphics.DrawRectangle(fromBrush, 2, 2, 10, 5));
  EXPECT_EQ(canvas.at(2, 2), kBlue);
  EXPECT_EQ(canvas.at(12, 7), kBlue);
  EXPECT_EQ(canvas.at(6, 5), kWhite);

  GraphicsPath path;
  ASSERT_TRUE(path.Create());
  ASSERT_TRUE(path.AddRectangle(20, 0, 10, 5));
  ASSERT_TRUE(canvas.graphics.DrawPath(fromBrush, path));
  EXPECT_EQ(canvas.at(30, 5), kBlue);
  EXPECT_EQ(canvas.at(25, 3), kWhite);
}

TEST(GraphicsDrawing, ClipsLimitFillsUntilReset) {
  Canvas canvas(40, 40, kWhite);
  SolidBrush brush;
  ASSERT_TRUE(brush.Create(kRed));
  ASSERT_TRUE(canvas.graphics.SetClipRect(10, 10, 10, 10, Gdiplus::CombineModeReplace));
  ASSERT_TRUE(canvas.graphics.FillRectangle(brush, 0, 0, 40, 40));
  EXPECT_EQ(canvas.at(15, 15), kRed);
  EXPECT_EQ(canvas.at(5, 5), kWhite);

  GraphicsPath corner;
  ASSERT_TRUE(corner.Create());
  ASSERT_TRUE(corner.AddRectangle(30, 30, 10, 10));
  ASSERT_TRUE(canvas.graphics.SetClipPath(corner, Gdiplus::CombineModeReplace));
  ASSERT_TRUE(canvas.graphics.Clear(kBlue));
  EXPECT_EQ(canvas.at(35, 35), kBlue);
  EXPECT_EQ(canvas.at(15, 15), kRed);

  ASSERT_TRUE(canvas.graphics.ResetClip());
  ASSERT_TRUE(canvas.graphics.FillRectangle(brush, 0, 0, 40, 40));
  EXPECT_EQ(canvas.at(5, 5), kRed);
}

TEST(GraphicsDrawing, DrawImageRectScalesTheWholeImageInPixels) {
  // A 2 x 2 image of four colours, stretched to 40 x 40: each colour fills one quadrant.
  Bitmap quadrants;
  ASSERT_TRUE(quadrants.Create(2, 2));
  {
    Graphics graphics;
    ASSERT_TRUE(graphics.FromImage(quadrants));
    const Argb colours[4] = {kRed, kGreen, kBlue, kYellow};
    for (int i = 0; i < 4; ++i) {
      SolidBrush brush;
      ASSERT_TRUE(brush.Create(colours[i]));
      ASSERT_TRUE(graphics.FillRectangle(brush, static_cast<float>(i % 2), static_cast<float>(i / 2), 1, 1));
    }
  }
  RowSpy<dll::GdipDrawImageRectRect> drawImageRect;
  Canvas canvas(40, 40, kWhite);
  ASSERT_TRUE(canvas.graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor));
  ASSERT_TRUE(canvas.graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf));
  ASSERT_TRUE(canvas.graphics.DrawImageRect(quadrants, 0, 0, 40, 40));
  EXPECT_EQ(canvas.at(10, 10), kRed);
  EXPECT_EQ(canvas.at(30, 10), kGreen);
  EXPECT_EQ(canvas.at(10, 30), kBlue);
  EXPECT_EQ(canvas.at(30, 30), kYellow);

  ASSERT_EQ(drawImageRect.calls, 1);
  const auto& arguments = drawImageRect.lastArguments;
  EXPECT_EQ(std::get<6>(arguments), 0.0f);
  EXPECT_EQ(std::get<7>(arguments), 0.0f);
  EXPECT_EQ(std::get<8>(arguments), 2.0f);
  EXPECT_EQ(std::get<9>(arguments), 2.0f);
  EXPECT_EQ(std::get<10>(arguments), Gdiplus::UnitPixel);

  // At its natural size, from its top-left corner.
  ASSERT_TRUE(canvas.graphics.Clear(kWhite));
  ASSERT_TRUE(canvas.graphics.DrawImage(quadrants, 5, 5));
  EXPECT_EQ(canvas.at(6, 6), kYellow);
  EXPECT_EQ(canvas.at(5, 5), kRed);
  EXPECT_EQ(canvas.at(7, 7), kWhite);
}

TEST(GraphicsDrawing, GraphicsOnADeviceContextDrawsIntoItsBitmap) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  HGDIOBJ previous = SelectObject(dc, dib);
  {
    Graphics graphics;
    ASSERT_TRUE(graphics.FromHDC(dc));
    ASSERT_TRUE(graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias));
    ASSERT_TRUE(graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality));
    ASSERT_TRUE(graphics.Clear(kGreen));
  }
  EXPECT_EQ(static_cast<const DWORD*>(bits)[3 * 8 + 3] & 0xFFFFFF, 0x00FF00u);
  SelectObject(dc, previous);
  DeleteObject(dib);
  DeleteDC(dc);
}

}  // namespace

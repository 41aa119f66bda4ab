#pragma once
// GDI+ flat-interface rows of the declared-function table. Included by win32/declared.h.
#include <gdiplus.h>

#include "win32/binder.h"

// A GDI+ row typed after the mingw declaration of the flat function, so arguments are checked.
#define QV_DECLARE_GDIPLUS(name) QV_DECLARE_TYPED("gdiplus", name, decltype(::Gdiplus::DllExports::name))

namespace dll {

QV_DECLARE_TYPED("gdiplus", GdiplusStartup,
                 Gdiplus::Status WINAPI(ULONG_PTR*, const Gdiplus::GdiplusStartupInput*,
                                        Gdiplus::GdiplusStartupOutput*))
QV_DECLARE_TYPED("gdiplus", GdiplusShutdown, VOID WINAPI(ULONG_PTR))

// GDI+ object layer: graphics.
QV_DECLARE_GDIPLUS(GdipDeleteGraphics)
QV_DECLARE_GDIPLUS(GdipCreateFromHDC)
QV_DECLARE_GDIPLUS(GdipCreateFromHDC2)
QV_DECLARE_GDIPLUS(GdipGetImageGraphicsContext)
QV_DECLARE_GDIPLUS(GdipSetCompositingQuality)
QV_DECLARE_GDIPLUS(GdipSetInterpolationMode)
QV_DECLARE_GDIPLUS(GdipSetSmoothingMode)
QV_DECLARE_GDIPLUS(GdipSetPixelOffsetMode)
QV_DECLARE_GDIPLUS(GdipDrawLine)
QV_DECLARE_GDIPLUS(GdipDrawRectangle)
QV_DECLARE_GDIPLUS(GdipDrawPath)
QV_DECLARE_GDIPLUS(GdipGraphicsClear)
QV_DECLARE_GDIPLUS(GdipFillRectangle)
QV_DECLARE_GDIPLUS(GdipFillPath)
QV_DECLARE_GDIPLUS(GdipDrawString)
QV_DECLARE_GDIPLUS(GdipMeasureString)
QV_DECLARE_GDIPLUS(GdipDrawImage)
QV_DECLARE_GDIPLUS(GdipDrawImageRectRect)
QV_DECLARE_GDIPLUS(GdipSetClipPath)
QV_DECLARE_GDIPLUS(GdipSetClipRect)
QV_DECLARE_GDIPLUS(GdipResetClip)

// Paths.
QV_DECLARE_GDIPLUS(GdipDeletePath)
QV_DECLARE_GDIPLUS(GdipCreatePath)
QV_DECLARE_GDIPLUS(GdipResetPath)
QV_DECLARE_GDIPLUS(GdipClosePathFigure)
QV_DECLARE_GDIPLUS(GdipAddPathLine)
QV_DECLARE_GDIPLUS(GdipAddPathArc)
QV_DECLARE_GDIPLUS(GdipAddPathRectangle)
QV_DECLARE_GDIPLUS(GdipAddPathEllipse)

// Pens.
QV_DECLARE_GDIPLUS(GdipDeletePen)
QV_DECLARE_GDIPLUS(GdipCreatePen1)
QV_DECLARE_GDIPLUS(GdipCreatePen2)
QV_DECLARE_GDIPLUS(GdipSetPenWidth)

// Brushes: shared, solid, linear gradient, path gradient.
QV_DECLARE_GDIPLUS(GdipDeleteBrush)
QV_DECLARE_GDIPLUS(GdipCreateSolidFill)
QV_DECLARE_GDIPLUS(GdipCreateLineBrush)
QV_DECLARE_GDIPLUS(GdipSetLinePresetBlend)
QV_DECLARE_GDIPLUS(GdipSetLineLinearBlend)
QV_DECLARE_GDIPLUS(GdipCreatePathGradientFromPath)
QV_DECLARE_GDIPLUS(GdipSetPathGradientCenterColor)
QV_DECLARE_GDIPLUS(GdipSetPathGradientSurroundColorsWithCount)

// Fonts and font families.
QV_DECLARE_GDIPLUS(GdipDeleteFont)
QV_DECLARE_GDIPLUS(GdipCreateFont)
QV_DECLARE_GDIPLUS(GdipCreateFontFromLogfontA)
QV_DECLARE_GDIPLUS(GdipCreateFontFromDC)
QV_DECLARE_GDIPLUS(GdipGetFamily)
QV_DECLARE_GDIPLUS(GdipGetFontStyle)
QV_DECLARE_GDIPLUS(GdipGetFontSize)
QV_DECLARE_GDIPLUS(GdipDeleteFontFamily)
QV_DECLARE_GDIPLUS(GdipCreateFontFamilyFromName)
QV_DECLARE_GDIPLUS(GdipGetFamilyName)

// String formats.
QV_DECLARE_GDIPLUS(GdipDeleteStringFormat)
QV_DECLARE_GDIPLUS(GdipCreateStringFormat)
QV_DECLARE_GDIPLUS(GdipSetStringFormatAlign)
QV_DECLARE_GDIPLUS(GdipSetStringFormatLineAlign)
QV_DECLARE_GDIPLUS(GdipSetStringFormatTrimming)

// Images and encoders.
QV_DECLARE_GDIPLUS(GdipDisposeImage)
QV_DECLARE_GDIPLUS(GdipLoadImageFromFile)
QV_DECLARE_GDIPLUS(GdipLoadImageFromFileICM)
QV_DECLARE_GDIPLUS(GdipLoadImageFromStream)
QV_DECLARE_GDIPLUS(GdipLoadImageFromStreamICM)
QV_DECLARE_GDIPLUS(GdipGetImageEncodersSize)
QV_DECLARE_GDIPLUS(GdipGetImageEncoders)
QV_DECLARE_GDIPLUS(GdipSaveImageToStream)
QV_DECLARE_GDIPLUS(GdipGetImageRawFormat)
QV_DECLARE_GDIPLUS(GdipGetImageWidth)
QV_DECLARE_GDIPLUS(GdipGetImageHeight)
QV_DECLARE_GDIPLUS(GdipImageRotateFlip)

// Bitmaps.
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromFile)
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromFileICM)
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromStream)
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromStreamICM)
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromScan0)
QV_DECLARE_GDIPLUS(GdipCreateBitmapFromHICON)
QV_DECLARE_GDIPLUS(GdipCreateHBITMAPFromBitmap)
QV_DECLARE_GDIPLUS(GdipBitmapGetPixel)

}  // namespace dll

// The background picture: set background picture, its base colour, the edge blending of modes 0
// and 1, and the background drawing of the full paint.
#include <random>

#include "draw/colour.h"
#include "draw/gradients.h"
#include "draw/paths.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "skin/core/engine.h"
#include "skin/frame/background.h"
#include "skin/frame/frame.h"

namespace {
constexpr float kClientCorner = 4;
constexpr int kCaptionGlossAlpha = 150;
// Modes 0 and 1: the width of the fade along an edge, as a share of the picture's size.
constexpr int kBlendShareDivisor = 8;

int pictureMode(const WindowRecord& record, const SkinSettings& settings) {
  return record.windowPicture.empty() ? settings.backgroundMode : record.windowBackgroundMode;
}
}  // namespace

COLORREF baseColourOfPicture(const ByteSet& picture, int samples) {
  Bitmap bitmap;
  if (samples < 1 || !bitmap.FromBytes(picture)) return dll::GetSysColor(COLOR_BTNFACE);
  int w = bitmap.GetWidth();
  int h = bitmap.GetHeight();
  if (w < 1 || h < 1) return dll::GetSysColor(COLOR_BTNFACE);
  // Seeded from the clock once: the samples differ from run to run, and a fast loop does not
  // keep drawing the same pixel as reseeding per coordinate would.
  std::mt19937 random(static_cast<unsigned>(dll::GetTickCount()));
  std::uniform_int_distribution<int> pickX(0, w - 1);
  std::uniform_int_distribution<int> pickY(0, h - 1);
  long long red = 0, green = 0, blue = 0;
  for (int i = 0; i < samples; ++i) {
    Argb pixel = bitmap.GetPixel(pickX(random), pickY(random));
    red += (pixel >> 16) & 0xFF;
    green += (pixel >> 8) & 0xFF;
    blue += pixel & 0xFF;
  }
  return RGB(red / samples, green / samples, blue / samples);
}

ByteSet preparePicture(const ByteSet& picture, int mode, COLORREF baseColour) {
  if (mode != kBackgroundBlended && mode != kBackgroundBlendedRight) return picture;
  Bitmap source;
  if (!source.FromBytes(picture)) return picture;
  int w = source.GetWidth();
  int h = source.GetHeight();
  Bitmap blended;
  if (!blended.Create(w, h, PixelFormat32bppARGB)) return picture;
  {
    Graphics graphics;
    graphics.FromImage(blended);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.DrawImageRect(source, 0, 0, static_cast<float>(w), static_cast<float>(h));
    // The picture fades into the fill along the edges that face the rest of the window: the
    // bottom, and the right (mode 0, drawn at the left) or the left (mode 1, right-aligned).
    Argb base = toArgb(baseColour, 0, false);
    Argb clear = toArgb(kWhite, 0);
    float fw = static_cast<float>(w);
    float fh = static_cast<float>(h);
    float across = fw / kBlendShareDivisor;
    float down = fh / kBlendShareDivisor;
    fillVerticalGradient(graphics, 0, fh - down, fw, down, clear, base);
    LinearGradientBrush side;
    if (mode == kBackgroundBlended) {
      side.Create(PointF(fw - across, 0), PointF(fw, 0), clear, base);
      graphics.FillRectangle(side, fw - across, 0, across, fh);
    } else {
      side.Create(PointF(across, 0), PointF(0, 0), clear, base);
      graphics.FillRectangle(side, 0, 0, across, fh);
    }
  }
  ByteSet encoded = blended.SaveToBytes(kPngFormat);
  return encoded.empty() ? picture : encoded;
}

ByteSet pictureFromFile(const Text& fileName) {
  Image image;
  if (!image.LoadFromFile(fileName)) return {};
  return image.SaveToBytes(kPngFormat);
}

void drawBackground(Graphics& graphics, int recordIndex) {
  SkinEngine& engine = skinEngine();
  const SkinSettings& settings = engine.settings();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record) return;
  graphics.Clear(toArgb(kMagenta, 0, false));
  RECT client;
  dll::GetClientRect(record->window, &client);
  float w = static_cast<float>(client.right);
  float h = static_cast<float>(client.bottom);
  GraphicsPath shape;
  shape.Create();
  addRoundedRectangle(shape, 0, 0, w, h, kClientCorner);
  graphics.SetClipPath(shape, Gdiplus::CombineModeReplace);

  bool ownPicture = !record->windowPicture.empty();
  SolidBrush fill;
  fill.Create(toArgb(ownPicture ? record->windowBaseColour : settings.skinBaseColour, 0, false));
  graphics.FillPath(fill, shape);

  const ByteSet& picture = ownPicture ? record->windowPicture : settings.backgroundPicture;
  if (!picture.empty()) {
    Image image;
    if (image.LoadFromBytes(picture)) {
      // Sizes in pixels: DrawImage at "natural size" would scale by the picture's resolution.
      float iw = static_cast<float>(image.GetWidth());
      float ih = static_cast<float>(image.GetHeight());
      switch (pictureMode(*record, settings)) {
        case kBackgroundBlendedRight:
          graphics.DrawImageRect(image, w - iw, 0, iw, ih);
          break;
        case kBackgroundCentred:
          graphics.DrawImageRect(image, (w - iw) / 2, (h - ih) / 2, iw, ih);
          break;
        case kBackgroundStretched:
          // Prefiltered when shrinking like bicubic (plain bilinear aliases the grain), with the cheaper kernel.
          graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
          graphics.DrawImageRect(image, 0, 0, w, h);
          break;
        default:  // modes 0 and 4
          graphics.DrawImageRect(image, 0, 0, iw, ih);
          break;
      }
    }
  }

  if (record->captionOption)
    fillVerticalGradient(graphics, 0, 0, w, static_cast<float>(record->captionHeight),
                         toArgb(kWhite, kCaptionGlossAlpha), toArgb(kWhite, 0));
}

void SkinEngine::setBackgroundPicture(const Text& fileName, const ByteSet& picture, std::optional<COLORREF> baseColour,
                                      std::optional<LONG> accentColour, std::optional<int> mode) {
  bool accentFollowsBase = accentColour == kAccentFollowsBase;
  if (!accentFollowsBase) settings_.accentColour = accentColour ? static_cast<COLORREF>(*accentColour) : kAccentColour;

  ByteSet bytes = fileName.empty() ? picture : pictureFromFile(fileName);
  if (!fileName.empty() || !picture.empty()) {
    // A file that cannot be read still counts as a picture given: its base colour is the
    // button face, and no picture is drawn.
    COLORREF pictureColour = baseColourOfPicture(bytes);
    settings_.skinBaseColour = baseColour.value_or(pictureColour);
  } else {
    bytes.clear();
    settings_.skinBaseColour = baseColour.value_or(dll::GetSysColor(COLOR_BTNFACE));
  }
  if (accentFollowsBase) settings_.accentColour = settings_.skinBaseColour;

  settings_.backgroundMode = mode.value_or(kBackgroundNatural);
  settings_.backgroundPicture = preparePicture(bytes, settings_.backgroundMode, settings_.skinBaseColour);

  for (int n = 1; n <= windowRecords_.count(); ++n) {
    WindowRecord* record = recordAt(n);
    if (!record || !dll::IsWindowVisible(record->window)) continue;
    fullPaint(n, nullptr, false);
    dll::InvalidateRect(record->window, nullptr, FALSE);
    invalidateRegisteredControls(*record, false);
  }
}

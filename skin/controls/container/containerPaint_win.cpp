// Painting a container over the skin background: the group box's frame and caption, or the plain
// border of another container.
#include <cmath>

#include "draw/colour.h"
#include "draw/paths.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "gfx/stringFormat.h"
#include "skin/controls/container/container.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"

namespace {
constexpr int kFrameTop = 5;  // the frame runs through the middle of the caption line
constexpr float kOuterCorner = 5;
constexpr float kInnerCorner = 3;
constexpr int kOuterFrameAlpha = 40;
constexpr int kInnerFrameAlpha = 90;
constexpr int kInnerBorderAlpha = 100;
constexpr float kCaptionMargin = 10;
constexpr float kCaptionTop = 1;
constexpr float kCaptionExtraHeight = 3;
// A group box without a readable font still shows its caption, in the skin's usual font.
constexpr char kFallbackFamily[] = "宋体";
constexpr int kFallbackSize = 12;

struct Size {
  int width;
  int height;
};

void strokeRounded(Graphics& graphics, RectF box, float corner, COLORREF colour, int alpha) {
  GraphicsPath path;
  path.Create();
  addRoundedRectangle(path, box.X, box.Y, box.Width, box.Height, corner);
  Pen pen;
  pen.Create(toArgb(colour, alpha), 1);
  graphics.DrawPath(pen, path);
}

void drawGroupFrame(HDC dc, Size size) {
  Graphics graphics;
  graphics.FromHDC(dc);
  auto w = static_cast<float>(size.width);
  auto h = static_cast<float>(size.height);
  strokeRounded(graphics, RectF(0, kFrameTop, w - 1, h - 6), kOuterCorner, kBlack, kOuterFrameAlpha);
  strokeRounded(graphics, RectF(1, kFrameTop + 1, w - 3, h - 8), kInnerCorner, kWhite, kInnerFrameAlpha);
}

void drawPlainBorder(HDC dc, Size size) {
  Graphics graphics;
  graphics.FromHDC(dc);
  auto w = static_cast<float>(size.width);
  auto h = static_cast<float>(size.height);
  strokeRounded(graphics, RectF(0, 0, w - 1, h - 1), kOuterCorner, kBlack, kOuterFrameAlpha);
  strokeRounded(graphics, RectF(1, 1, w - 3, h - 3), kInnerCorner, kWhite, kInnerBorderAlpha);
}

Text windowText(HWND window) {
  int length = dll::GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int copied = dll::GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool makeCaptionFont(Font& font, const ContainerRecord& container) {
  if (font.Create(container.fontFamily, static_cast<float>(container.fontSize), container.fontStyle)) return true;
  return font.Create(kFallbackFamily, kFallbackSize);
}

float captionFontSize(const ContainerRecord& container) {
  return static_cast<float>(container.fontFamily.empty() ? kFallbackSize : container.fontSize);
}

float measureCaption(const Text& caption, const Font& font) {
  MemoryDc screen(nullptr);
  Graphics graphics;
  graphics.FromHDC(screen.get());
  StringFormat format;
  format.Create();
  RectF bounds;
  graphics.MeasureString(caption, font, RectF(0, 0, 0, 0), format, bounds);
  return bounds.Width;
}

// The frame lines must not run through the caption: the skin background comes back under it.
void restoreBackground(HWND window, HDC dc, const RECT& area) {
  int owner = 0;
  POINT offset = offsetInSkinnedWindow(window, &owner);
  WindowRecord* record = skinEngine().recordAt(owner);
  if (!record || !record->backgroundDc) return;
  RECT client = clientRectInWindow(window);
  dll::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, record->backgroundDc,
              offset.x + client.left + area.left, offset.y + client.top + area.top, SRCCOPY);
}

void drawGroupCaption(HWND window, HDC dc, const ContainerRecord& container, Size size) {
  Text caption = windowText(window);
  Font font;
  if (caption.empty() || !makeCaptionFont(font, container)) return;
  float captionWidth = measureCaption(caption, font);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
  RectF box(groupBoxCaptionLeft(style, static_cast<float>(size.width), captionWidth), kCaptionTop, captionWidth,
            captionFontSize(container) + kCaptionExtraHeight);

  RECT covered{static_cast<LONG>(std::floor(box.X)), static_cast<LONG>(box.Y),
               static_cast<LONG>(std::ceil(box.X + box.Width)), static_cast<LONG>(std::ceil(box.Y + box.Height))};
  restoreBackground(window, dc, covered);

  Graphics graphics;
  graphics.FromHDC(dc);
  SolidBrush brush;
  brush.Create(toArgb(textColourOf(window), 255, false));
  StringFormat format;
  format.Create();
  format.SetAlignment(Gdiplus::StringAlignmentCenter);
  graphics.DrawString(caption, font, brush, box, format);
}

void copyToTarget(HWND window, HDC source, HDC dc, const RECT* update, Size size) {
  RECT all{0, 0, size.width, size.height};
  const RECT& area = update ? *update : all;
  auto copy = [&](HDC target) {
    dll::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, source, area.left,
                area.top, SRCCOPY);
  };
  if (dc) {
    copy(dc);
    return;
  }
  WindowDc own(window);
  excludeOpaqueChildren(window, own.get());
  copy(own.get());
}
}  // namespace

// A group box without either alignment bit keeps its caption at the left, where the system puts
// it, rather than at the right.
float groupBoxCaptionLeft(DWORD style, float width, float captionWidth) {
  if ((style & BS_CENTER) == BS_CENTER) return (width - captionWidth) / 2;
  if (style & BS_RIGHT) return width - captionWidth - kCaptionMargin;
  return kCaptionMargin;
}

void paintContainer(int recordIndex, int containerIndex, HDC dc, const RECT* update) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || containerIndex < 1 || containerIndex > record->controls->containers.count()) return;
  // A copy: nothing below registers controls, but the record must not be held across calls.
  ContainerRecord container = record->controls->containers[containerIndex];
  HWND window = container.window;
  RECT client;
  dll::GetClientRect(window, &client);
  Size size{client.right, client.bottom};
  if (size.width < 1 || size.height < 1) return;

  BackBuffer buffer(window, clientRectInWindow(window));
  if (!buffer.dc()) return;
  if (container.isGroupBox) {
    drawGroupFrame(buffer.dc(), size);
    drawGroupCaption(window, buffer.dc(), container, size);
  } else if (container.border) {
    drawPlainBorder(buffer.dc(), size);
  }
  copyToTarget(window, buffer.dc(), dc, update, size);
}

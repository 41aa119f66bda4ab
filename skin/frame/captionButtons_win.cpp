// The caption buttons: entries, strip, layout with tooltips, hit test, drawing and actions.
#include "draw/colour.h"
#include "draw/gradients.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "gfx/path.h"
#include "gfx/pen.h"
#include "resources/pictures.h"
#include "skin/core/engine.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/frame.h"

namespace {
constexpr int kCloseImageWidth = 38;
constexpr int kStripExtra = 3;        // beyond the images and the gaps between them
constexpr int kStripRightMargin = 2;  // the strip's first left, before the layout
constexpr int kButtonInsetX = 2;
constexpr int kButtonInsetY = 1;
constexpr float kHitTolerance = 1e-7f;
constexpr float kCloseCorner = 5;  // follows the window's rounded top-right corner
constexpr COLORREF kCloseRed = 0x0000FF;

// Plain look: a white sheen over every button.
constexpr int kSheenAlpha = 50;
// Separators between the buttons.
constexpr int kFirstSeparatorAlpha = 100;
constexpr int kSeparatorAlpha = 60;
constexpr float kSeparatorTopGap = 1;
constexpr float kSeparatorBottomGap = 4;
// Hover: a shadow of a fifth of the alpha, the accent (red for close), and a light rim over the
// upper 80 %.
constexpr int kHoverShadowDivisor = 5;
constexpr float kRimShare = 0.8f;
// Pressed.
constexpr int kPressedTopAlpha = 80;
constexpr int kPressedBottomAlpha = 5;
constexpr int kPressedCloseTopAlpha = 255;
constexpr int kPressedCloseBottomAlpha = 30;

struct ButtonSpec {
  int kind;
  const char* name;
  const EmbeddedBytes* image;
  const EmbeddedBytes* secondImage;
  int imageWidth;
};

void appendButton(WindowRecord& record, const ButtonSpec& entry) {
  CaptionButton button;
  button.imageWidth = entry.imageWidth;
  button.imageHeight = kCaptionButtonHeight;
  button.image = entry.image->toByteSet();
  if (entry.secondImage) button.secondImage = entry.secondImage->toByteSet();
  button.kind = entry.kind;
  button.name = entry.name;
  record.captionButtons.append(std::move(button));
}

RECT toRect(const RectF& rect) {
  return RECT{static_cast<LONG>(rect.X), static_cast<LONG>(rect.Y), static_cast<LONG>(rect.X + rect.Width),
              static_cast<LONG>(rect.Y + rect.Height)};
}

bool inStrip(const WindowRecord& record, int x, int y) {
  return x >= record.stripLeft && x <= record.stripLeft + record.stripWidth && y >= record.stripTop &&
         y <= record.stripTop + record.stripHeight;
}

// The close button's shape: its top-right corner rounded like the window's.
void addCloseShape(GraphicsPath& path, float x, float y, float w, float h) {
  path.AddLine(x, y, x + w - kCloseCorner, y);
  path.AddArc(x + w - kCloseCorner, y, kCloseCorner, kCloseCorner, 270, 90);
  path.AddLine(x + w, y + kCloseCorner, x + w, y + h);
  path.AddLine(x + w, y + h, x, y + h);
  path.CloseFigure();
}

void fillButtonShape(Graphics& graphics, const RectF& r, bool close, Argb top, Argb bottom) {
  if (!close) {
    fillVerticalGradient(graphics, r.X, r.Y, r.Width, r.Height, top, bottom);
    return;
  }
  GraphicsPath shape;
  shape.Create();
  addCloseShape(shape, r.X, r.Y, r.Width, r.Height);
  fillPathVerticalGradient(graphics, shape, r.Y, r.Y + r.Height, top, bottom);
}

void drawHoverHighlight(Graphics& graphics, const RectF& r, bool close, int alpha, COLORREF accent) {
  fillVerticalGradient(graphics, r.X, r.Y, r.Width, r.Height, toArgb(kBlack, alpha / kHoverShadowDivisor),
                       toArgb(kWhite, 0));
  fillButtonShape(graphics, r, close, toArgb(close ? kCloseRed : accent, alpha), toArgb(kWhite, 0));

  float rimHeight = r.Height * kRimShare;
  LinearGradientBrush rimPaint;
  if (!rimPaint.Create(PointF(r.X, r.Y), PointF(r.X, r.Y + rimHeight + 1),
                       toArgb(kWhite, static_cast<int>(kRimShare * static_cast<float>(alpha))), toArgb(kWhite, 0)))
    return;
  Pen rim;
  rim.CreateFromBrush(rimPaint, 1);
  GraphicsPath outline;
  outline.Create();
  if (close)
    addCloseShape(outline, r.X, r.Y, r.Width - 1, rimHeight);
  else
    outline.AddRectangle(r.X, r.Y, r.Width - 1, rimHeight);
  graphics.DrawPath(rim, outline);
}

void drawSeparator(Graphics& graphics, float x, const RectF& r, int alpha) {
  float top = r.Y + kSeparatorTopGap;
  float bottom = r.Y + r.Height - kSeparatorBottomGap;
  LinearGradientBrush paint;
  if (!paint.Create(PointF(x, top), PointF(x, bottom + 1), toArgb(kBlack, alpha), toArgb(kBlack, 0))) return;
  Pen pen;
  pen.CreateFromBrush(paint, 1);
  graphics.DrawLine(pen, x + 0.5f, top, x + 0.5f, bottom);
}

void drawButtonImage(Graphics& graphics, const WindowRecord& record, const CaptionButton& button) {
  const ByteSet& bytes = button.kind == kCaptionMaximise && record.maximised && !button.secondImage.empty()
                             ? button.secondImage
                             : button.image;
  Image image;
  if (image.LoadFromBytes(bytes)) {
    const RectF& r = button.rectangle;
    graphics.DrawImageRect(image, r.X, r.Y, r.Width, r.Height);
  }
}

void drawButtonInto(const WindowRecord& record, int index, Graphics& graphics, bool pressed, int hoverAlpha) {
  const CaptionButton& button = record.captionButtons[index];
  const RectF& r = button.rectangle;
  bool close = button.kind == kCaptionClose;
  if (pressed) {
    if (close)
      fillButtonShape(graphics, r, true, toArgb(kCloseRed, kPressedCloseTopAlpha),
                      toArgb(kWhite, kPressedCloseBottomAlpha));
    else
      fillButtonShape(graphics, r, false, toArgb(kBlack, kPressedTopAlpha), toArgb(kWhite, kPressedBottomAlpha));
    drawButtonImage(graphics, record, button);
    return;
  }
  // Plain or hovered: start again from the caption as it was before the buttons.
  if (record.captionSnapshotDc) {
    RECT area = toRect(r);
    dll::BitBlt(record.backgroundDc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                record.captionSnapshotDc, area.left, area.top, SRCCOPY);
  }
  if (hoverAlpha > 0) drawHoverHighlight(graphics, r, close, hoverAlpha, skinEngine().settings().accentColour);
  fillVerticalGradient(graphics, r.X, r.Y, r.Width, r.Height, toArgb(kWhite, kSheenAlpha), toArgb(kBlack, 0));
  drawButtonImage(graphics, record, button);
  drawSeparator(graphics, r.X, r, index == 1 ? kFirstSeparatorAlpha : kSeparatorAlpha);
  if (index < record.captionButtons.count()) drawSeparator(graphics, r.X + r.Width, r, kSeparatorAlpha);
}
}  // namespace

void buildCaptionButtons(WindowRecord& record, int clientWidth, int borderInset) {
  const ButtonSpec specs[] = {
      {kCaptionHelp, "帮助", &qv_picture_help, nullptr, kCaptionButtonWidth},
      {kCaptionMainMenu, "主菜单", &qv_picture_mainMenu, nullptr, kCaptionButtonWidth},
      {kCaptionMinimise, "最小化", &qv_picture_minimise, nullptr, kCaptionButtonWidth},
      {kCaptionMaximise, "最大化", &qv_picture_maximise, &qv_picture_restore, kCaptionButtonWidth},
      {kCaptionClose, "关闭", &qv_picture_close, nullptr, kCloseImageWidth},
  };
  const bool wanted[] = {record.helpButtonWanted != 0, record.mainMenuButtonWanted != 0, record.minimiseBox != 0,
                         record.maximiseBox != 0, record.closeButton != 0};
  int imageWidths = 0;
  for (size_t i = 0; i < std::size(specs); ++i) {
    if (!wanted[i]) continue;
    appendButton(record, specs[i]);
    imageWidths += specs[i].imageWidth;
  }
  int count = record.captionButtons.count();
  record.stripWidth = count ? imageWidths + (count - 1) + kStripExtra : 0;
  record.stripHeight = kStripHeight;
  record.stripTop = 0;
  record.stripLeft = clientWidth - borderInset - record.stripWidth - kStripRightMargin;
}

void createCaptionToolTips(WindowRecord& record) {
  record.captionToolTips.Create(record.window);
  for (int i = 1; i <= record.captionButtons.count(); ++i) {
    const CaptionButton& button = record.captionButtons[i];
    record.captionToolTips.AddTool(toRect(button.rectangle), button.name, static_cast<UINT_PTR>(i));
  }
}

void layoutCaptionButtons(WindowRecord& record) {
  RECT client;
  dll::GetClientRect(record.window, &client);
  if (record.stripWidth > 0) {
    record.stripLeft = client.right - record.stripWidth + 1;
    record.stripHeight = kStripHeight;
  }
  int x0 = record.stripLeft + kButtonInsetX;
  int y0 = record.stripTop + kButtonInsetY;
  for (int i = 1; i <= record.captionButtons.count(); ++i) {
    CaptionButton& button = record.captionButtons[i];
    int width = button.kind == kCaptionClose ? kCloseButtonWidth : kCaptionButtonWidth;
    button.rectangle = RectF(static_cast<float>(x0 + kCaptionButtonPitch * (i - 1)), static_cast<float>(y0),
                             static_cast<float>(width), static_cast<float>(kCaptionButtonHeight));
    if (record.captionToolTips.window()) {
      record.captionToolTips.SetToolRect(static_cast<UINT_PTR>(i), toRect(button.rectangle));
      record.captionToolTips.UpdateToolText(static_cast<UINT_PTR>(i), button.name);
    }
  }
}

int hitTestCaptionButtons(const WindowRecord& record, int x, int y) {
  if (!inStrip(record, x, y)) return 0;
  float px = static_cast<float>(x);
  float py = static_cast<float>(y);
  for (int i = 1; i <= record.captionButtons.count(); ++i) {
    const RectF& r = record.captionButtons[i].rectangle;
    if (px >= r.X - kHitTolerance && px < r.X + r.Width - kHitTolerance && py >= r.Y - kHitTolerance &&
        py < r.Y + r.Height - kHitTolerance)
      return i;
  }
  return 0;
}

void drawCaptionButton(int recordIndex, int button, Graphics* graphics, bool pressed, int hoverAlpha) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !record->backgroundDc || button < 1 || button > record->captionButtons.count()) return;
  if (graphics) {
    drawButtonInto(*record, button, *graphics, pressed, hoverAlpha);
    return;
  }
  {
    Graphics own;
    own.FromHDC(record->backgroundDc);
    drawButtonInto(*record, button, own, pressed, hoverAlpha);
  }
  copyFrameToWindow(*record, toRect(record->captionButtons[button].rectangle));
}

void runCaptionButtonAction(int recordIndex, int button) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || button < 1 || button > record->captionButtons.count()) return;
  const CaptionButton& entry = record->captionButtons[button];
  HWND window = record->window;
  switch (entry.kind) {
    case kCaptionClose:
      dll::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case kCaptionMaximise:
      record->fullRepaintNeeded = 1;
      record->minimised = 0;
      if (record->maximised) {
        record->maximised = 0;
        dll::SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
      } else {
        record->maximised = 1;
        dll::SendMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      }
      break;
    case kCaptionMinimise:
      record->minimised = 1;
      dll::SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case kCaptionMainMenu:
      if (record->mainMenuCallback) record->mainMenuCallback();
      break;
    case kCaptionHelp:
      if (record->helpCallback) record->helpCallback();
      break;
    case kCaptionUser:
      if (entry.callback) entry.callback();
      break;
  }
}

// The header painter: one back buffer per item.
#include <algorithm>
#include <string>

#include "draw/colour.h"
#include "draw/gradients.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/graphics.h"
#include "gfx/pen.h"
#include "gfx/stringFormat.h"
#include "skin/controls/header/header.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr int kTextCapacity = 260;
constexpr int kMargin = 6;     // from the item's left edge to its image or text
constexpr int kImageGap = 4;   // between the image and the text
constexpr int kTopAlpha = 60;  // the accent gradient of a plain item
constexpr int kBottomAlpha = 10;
constexpr char kFallbackFamily[] = "宋体";
constexpr int kFallbackSize = 12;

struct ItemState {
  bool hot;
  bool pressed;
  bool buttons;
};

struct Item {
  RECT rect;
  Text text;
  int image;
  int format;
};

Item readItem(HWND header, int index) {
  Item item{};
  dll::SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item.rect));
  std::string text(kTextCapacity, '\0');
  HDITEMA query{};
  query.mask = HDI_TEXT | HDI_IMAGE | HDI_FORMAT;
  query.pszText = text.data();
  query.cchTextMax = kTextCapacity;
  if (dll::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&query))) {
    item.text = Text(query.pszText ? query.pszText : "");
    item.image = (query.fmt & HDF_IMAGE) ? query.iImage : -1;
    item.format = query.fmt;
  }
  return item;
}

void fillGradient(Graphics& graphics, float width, float height, Argb top, Argb bottom) {
  fillVerticalGradient(graphics, 0, 0, width, height, top, bottom);
}

void drawBody(HDC dc, float width, float height, const ItemState& state) {
  const SkinSettings& settings = skinEngine().settings();
  COLORREF accent = settings.accentColour;
  Graphics graphics;
  graphics.FromHDC(dc);
  SolidBrush white;
  white.Create(settings.translucencyGiven ? toArgb(kWhite, settings.globalTranslucency) : toArgb(kWhite, 255, false));
  graphics.FillRectangle(white, 0, 0, width, height);
  if (state.buttons)
    fillGradient(graphics, width, height, toArgb(kWhite, 80), toArgb(accent, 120));
  else
    fillGradient(graphics, width, height, toArgb(accent, kTopAlpha), toArgb(accent, kBottomAlpha));
  if (state.hot) fillGradient(graphics, width, height, toArgb(accent, 60), toArgb(kBlack, 30));
  if (state.buttons && state.pressed) fillGradient(graphics, width, height, toArgb(kBlack, 30), toArgb(kWhite, 120));

  LinearGradientBrush dividerBrush;
  dividerBrush.Create(PointF(0, 0), PointF(0, height), toArgb(kBlack, 60), toArgb(kWhite, 50));
  Pen divider;
  divider.CreateFromBrush(dividerBrush, 1);
  graphics.DrawLine(divider, width - 1, 0, width - 1, height);
}

// Returns where the text starts.
int drawImage(HDC dc, HWND header, const Item& item, int height) {
  auto images = reinterpret_cast<HIMAGELIST>(dll::SendMessageA(header, HDM_GETIMAGELIST, 0, 0));
  if (!images || item.image < 0) return kMargin;
  HICON icon = dll::ImageList_GetIcon(images, item.image, ILD_NORMAL);
  if (!icon) return kMargin;
  int iconWidth = 0;
  int iconHeight = 0;
  dll::ImageList_GetIconSize(images, &iconWidth, &iconHeight);
  dll::DrawIconEx(dc, kMargin, (height - iconHeight) / 2, icon, iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
  dll::DestroyIcon(icon);
  return kMargin + iconWidth + kImageGap;
}

Gdiplus::StringAlignment alignmentOf(int format) {
  switch (format & HDF_JUSTIFYMASK) {
    case HDF_CENTER:
      return Gdiplus::StringAlignmentCenter;
    case HDF_RIGHT:
      return Gdiplus::StringAlignmentFar;
  }
  return Gdiplus::StringAlignmentNear;
}

void drawText(HDC dc, const HeaderRecord& header, const Item& item, float left, float width, float height) {
  if (item.text.empty() || width <= left) return;
  Font font;
  if (!font.Create(header.fontFamily, static_cast<float>(header.fontSize), header.fontStyle) &&
      !font.Create(kFallbackFamily, kFallbackSize))
    return;
  Graphics graphics;
  graphics.FromHDC(dc);
  SolidBrush black;
  black.Create(toArgb(kBlack, 255, false));
  StringFormat format;
  format.Create(Gdiplus::StringFormatFlagsNoWrap);
  format.SetAlignment(alignmentOf(item.format));
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  graphics.DrawString(item.text, font, black, RectF(left, 0, width - left - kMargin, height), format);
}

void paintItem(HWND header, HDC target, const HeaderRecord& record, const Item& item, const ItemState& state) {
  int w = item.rect.right - item.rect.left;
  int h = item.rect.bottom - item.rect.top;
  if (w < 1 || h < 1) return;
  BackBuffer buffer(header, item.rect);
  if (!buffer.dc()) return;
  drawBody(buffer.dc(), static_cast<float>(w), static_cast<float>(h), state);
  int textLeft = drawImage(buffer.dc(), header, item, h);
  drawText(buffer.dc(), record, item, static_cast<float>(textLeft), static_cast<float>(w), static_cast<float>(h));
  dll::BitBlt(target, item.rect.left, item.rect.top, w, h, buffer.dc(), 0, 0, SRCCOPY);
}

// Right of the last item a standalone header shows the skin background.
void paintRest(HWND header, HDC target, int left, const RECT& client) {
  if (left >= client.right) return;
  RECT rest{left, client.top, client.right, client.bottom};
  BackBuffer buffer(header, rest);
  if (buffer.dc())
    dll::BitBlt(target, rest.left, rest.top, buffer.width(), buffer.height(), buffer.dc(), 0, 0, SRCCOPY);
}
}  // namespace

void paintHeader(int recordIndex, int listIndex, std::optional<bool> hot) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->headers.count()) return;
  const HeaderRecord record = owner->controls->headers[listIndex];
  HWND header = record.window;
  bool isHot = hot.value_or(record.hot != 0);
  RECT client;
  dll::GetClientRect(header, &client);
  HWND parent = dll::GetParent(header);
  bool insideListView = hasClass(parent, "SysListView32");
  int count = static_cast<int>(dll::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));

  WindowDc target(header);
  int right = 0;
  for (int index = 0; index < count; ++index) {
    Item item = readItem(header, index);
    if (insideListView && index == count - 1) {
      RECT listClient;
      dll::GetClientRect(parent, &listClient);
      item.rect.right = std::max(item.rect.right, listClient.right);
    }
    ItemState state{isHot && index == record.hotItem, index == record.pressedItem, record.buttonsStyle != 0};
    paintItem(header, target.get(), record, item, state);
    right = std::max(right, static_cast<int>(item.rect.right));
  }
  paintRest(header, target.get(), right, client);
}

// Back buffers, the whitened background and the client rectangle in window coordinates.
#include "skin/core/backBuffers.h"

#include "draw/colour.h"
#include "gdi/deviceContext.h"
#include "gdi/gdiHandle.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/image.h"
#include "skin/core/engine.h"

namespace {
constexpr int kScrollBarThickness = 17;  // fixed, not read from the system

int width(const RECT& rect) {
  return rect.right - rect.left;
}
int height(const RECT& rect) {
  return rect.bottom - rect.top;
}

void enterBackBuffer(const BackBufferEntry& entry) {
  BackBufferTable& table = skinEngine().backBuffers();
  for (BackBufferEntry& listed : table) {
    if (listed.dc == entry.dc) {
      listed.bitmap = entry.bitmap;
      listed.previous = entry.previous;
      return;
    }
  }
  table.append(entry);
}
}  // namespace

POINT offsetInSkinnedWindow(HWND control, int* ownerIndex) {
  int owner = findOwningRecord(control);
  if (ownerIndex) *ownerIndex = owner;
  POINT offset{0, 0};
  WindowRecord* record = owner ? skinEngine().recordAt(owner) : nullptr;
  if (!record) return offset;
  // The background buffer covers the owner's client area; window coordinates of nested
  // controls (inside group boxes or tab controls) come out right through the screen.
  RECT controlRect;
  dll::GetWindowRect(control, &controlRect);
  POINT clientOrigin{0, 0};
  dll::ClientToScreen(record->window, &clientOrigin);
  offset.x = controlRect.left - clientOrigin.x;
  offset.y = controlRect.top - clientOrigin.y;
  return offset;
}

HDC createBackBuffer(HWND control, const RECT& rectangle) {
  int w = width(rectangle);
  int h = height(rectangle);
  HBITMAP bitmap = nullptr;
  {
    Bitmap argb;
    if (argb.Create(w, h, PixelFormat32bppARGB)) bitmap = argb.GetHBITMAP(0);
  }
  HDC dc = dll::CreateCompatibleDC(nullptr);
  if (!dc) {
    deleteGdiObject(bitmap);
    return nullptr;
  }
  HGDIOBJ previous = bitmap ? dll::SelectObject(dc, bitmap) : nullptr;
  enterBackBuffer({dc, bitmap, previous});

  int owner = 0;
  POINT offset = offsetInSkinnedWindow(control, &owner);
  WindowRecord* record = owner ? skinEngine().recordAt(owner) : nullptr;
  if (record && record->backgroundDc)
    dll::BitBlt(dc, 0, 0, w, h, record->backgroundDc, offset.x + rectangle.left, offset.y + rectangle.top, SRCCOPY);
  return dc;
}

int releaseBackBuffer(HDC dc) {
  BackBufferTable& table = skinEngine().backBuffers();
  for (int i = 1; i <= table.count(); ++i) {
    BackBufferEntry entry = table[i];
    if (entry.dc != dc) continue;
    if (entry.previous) dll::SelectObject(dc, entry.previous);
    deleteGdiObject(entry.bitmap);
    dll::DeleteDC(dc);
    table.remove(i);
    return 1;
  }
  return 0;
}

RECT clientRectInWindow(HWND control) {
  RECT window;
  RECT client;
  dll::GetWindowRect(control, &window);
  dll::GetClientRect(control, &client);
  auto style = static_cast<DWORD>(dll::GetWindowLongA(control, GWL_STYLE));
  int across = width(window) - width(client) - ((style & WS_VSCROLL) ? kScrollBarThickness : 0);
  int down = height(window) - height(client) - ((style & WS_HSCROLL) ? kScrollBarThickness : 0);
  RECT inner;
  // Floor, not truncation: a negative remainder (a bar wider than the border) rounds down.
  inner.left = across >= 0 ? across / 2 : -((-across + 1) / 2);
  inner.top = down >= 0 ? down / 2 : -((-down + 1) / 2);
  inner.right = inner.left + width(client);
  inner.bottom = inner.top + height(client);
  return inner;
}

HBITMAP whitenedBackgroundBitmap(HWND control) {
  RECT rect = clientRectInWindow(control);
  int w = width(rect);
  int h = height(rect);
  BackBuffer buffer(control, rect);
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    SolidBrush white;
    white.Create(toArgb(kWhite, skinEngine().settings().globalTranslucency));
    graphics.FillRectangle(white, 0, 0, static_cast<float>(w), static_cast<float>(h));
  }
  MemoryDc copy(buffer.dc());
  HBITMAP bitmap = dll::CreateCompatibleBitmap(buffer.dc(), w, h);
  {
    SelectedObject selected(copy.get(), bitmap);
    dll::BitBlt(copy.get(), 0, 0, w, h, buffer.dc(), 0, 0, SRCCOPY);
  }
  return bitmap;
}

// The list frame: the skin's thin outline over the non-client ring of a bordered list-like control.
#include "draw/colour.h"
#include "gdi/deviceContext.h"
#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/pen.h"
#include "skin/controls/listLike/listLike.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/backBuffers.h"
#include "skin/core/engine.h"

namespace {
constexpr DWORD kEdgeStyles = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
constexpr DWORD kPaletteEdges = 0x188;  // WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | 0x8, all together
constexpr int kOutlineAlpha = 200;
constexpr int kPlainOutlineAlpha = 90;

// The client area with its scroll bars, centred in the window rectangle.
RECT innerRectangle(HWND control, int width, int height) {
  RECT client = clientRectInWindow(control);
  return RECT{client.left, client.top, width - client.left, height - client.top};
}

void fillRing(Graphics& graphics, const RECT& inner, float width, float height) {
  graphics.SetClipRect(0, 0, width, height, Gdiplus::CombineModeReplace);
  graphics.SetClipRect(static_cast<float>(inner.left), static_cast<float>(inner.top),
                       static_cast<float>(inner.right - inner.left), static_cast<float>(inner.bottom - inner.top),
                       Gdiplus::CombineModeXor);
  const SkinSettings& settings = skinEngine().settings();
  SolidBrush white;
  white.Create(settings.translucencyGiven ? toArgb(kWhite, settings.globalTranslucency) : toArgb(kWhite, 255, false));
  graphics.FillRectangle(white, 0, 0, width, height);
}

void drawOutline(Graphics& graphics, bool hot, bool focused, float width, float height) {
  COLORREF accent = skinEngine().settings().accentColour;
  Pen pen;
  if (hot) {
    pen.Create(toArgb(accent, kOutlineAlpha), 2);
    graphics.DrawRectangle(pen, 1, 1, width - 2, height - 2);
    return;
  }
  pen.Create(focused ? toArgb(accent, kOutlineAlpha) : toArgb(kBlack, kPlainOutlineAlpha), 1);
  graphics.DrawRectangle(pen, 0, 0, width - 1, height - 1);
}
}  // namespace

bool hasListBorder(HWND control) {
  auto style = static_cast<DWORD>(dll::GetWindowLongA(control, GWL_STYLE));
  auto exStyle = static_cast<DWORD>(dll::GetWindowLongA(control, GWL_EXSTYLE));
  return (style & WS_BORDER) || (exStyle & kEdgeStyles) || (exStyle & WS_EX_DLGMODALFRAME) ||
         (exStyle & kPaletteEdges) == kPaletteEdges;
}

void drawListFrame(int recordIndex, int listIndex, std::optional<bool> hot, std::optional<bool> focused) {
  WindowRecord* owner = skinEngine().recordAt(recordIndex);
  if (!owner || listIndex < 1 || listIndex > owner->controls->listLikes.count()) return;
  const ListRecord& control = owner->controls->listLikes[listIndex];
  HWND window = control.window;
  // Without a border the whole buffer would be magenta: nothing of the frame reaches the screen.
  if (!window || !hasListBorder(window) || hasClass(window, "ComboLBox")) return;

  RECT placed;
  dll::GetWindowRect(window, &placed);
  int w = placed.right - placed.left;
  int h = placed.bottom - placed.top;
  RECT inner = innerRectangle(window, w, h);
  BackBuffer buffer(window, RECT{0, 0, w, h});
  if (!buffer.dc()) return;
  {
    Graphics graphics;
    graphics.FromHDC(buffer.dc());
    fillRing(graphics, inner, static_cast<float>(w), static_cast<float>(h));
    drawOutline(graphics, hot.value_or(control.hot != 0), focused.value_or(control.hasFocus != 0),
                static_cast<float>(w), static_cast<float>(h));
  }
  WindowDc target(window, WindowDc::kWholeWindow);
  dll::ExcludeClipRect(target.get(), inner.left, inner.top, inner.right, inner.bottom);
  dll::TransparentBlt(target.get(), 0, 0, w, h, buffer.dc(), 0, 0, w, h, kMagenta);
}

#pragma once
// Drawing routines shared by the frame painter and the control renderers: colour conversion,
// the rounded path shapes, the glow outline, back buffers (device contexts that already hold
// the skin background behind a control) and the whitened background for pattern brushes.
// Plus the small owning types the painters use for device contexts and GDI objects.
#include <windows.h>

#include <utility>

#include "gfx/brush.h"
#include "gfx/graphics.h"
#include "gfx/path.h"
#include "gfx/pen.h"

// ---- Colours ----

// The COLORREF (0x00BBGGRR) as GDI+ ARGB (0xAARRGGBB) with that alpha, or opaque when useAlpha is
// false.
Argb toArgb(COLORREF colour, int alpha, bool useAlpha = true);

inline constexpr COLORREF kWhite = 0xFFFFFF;
inline constexpr COLORREF kBlack = 0x000000;
inline constexpr COLORREF kMagenta = 0xFF00FF;     // the colour key of the keyed copies
inline constexpr COLORREF kGlowColour = 0xDDCA22;  // RGB(34, 202, 221), the focus glow

// ---- Paths ----

// A closed rounded rectangle; the corner size is clamped to 1..100. The bottom-right corner's box
// is one pixel larger and one further out, as the skin has always drawn it.
void addRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner);
// An open figure with rounded top corners; filling closes it along the bottom edge.
void addTopRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner);
// Strokes the path rings times with pens of width 1, 2, ... rings: densest along the path.
void drawGlow(Graphics& graphics, const GraphicsPath& path, int rings, COLORREF colour, int alpha);

// Fills a rectangle with a vertical linear gradient from colour1 at top to colour2 at top +
// height (both ARGB). A helper for the many gradients of the skin.
void fillVerticalGradient(Graphics& graphics, float x, float y, float width, float height, Argb colour1, Argb colour2);
void fillPathVerticalGradient(Graphics& graphics, const GraphicsPath& path, float top, float bottom, Argb colour1,
                              Argb colour2);

// ---- Back buffers ----

// A memory device context with a 32-bit ARGB bitmap of the rectangle's size, holding the skin
// background that lies behind that rectangle of the control. The rectangle is in the control's
// window coordinates (0, 0 is the top-left of its window rectangle). Entered in the engine's
// back-buffer table. A control without a skinned ancestor gets transparent black.
HDC createBackBuffer(HWND control, const RECT& rectangle);
// Restores, deletes and removes the buffer's entry; 0 when the device context is not a back
// buffer (it is then left alone), 1 otherwise.
int releaseBackBuffer(HDC dc);

// The control's client rectangle in its window coordinates: borders taken as equal on both
// sides, with 17 pixels counted for a vertical (WS_VSCROLL) or horizontal (WS_HSCROLL) bar.
RECT clientRectInWindow(HWND control);

// A bitmap of the skin background behind the control's client area, whitened with the global
// translucency; the caller owns it (pattern brushes of edit boxes, list boxes, combo boxes).
HBITMAP whitenedBackgroundBitmap(HWND control);

// The offset of the control's window rectangle within the background buffer of the skinned
// window that owns it (its record index in ownerIndex, 0 when no ancestor is skinned).
POINT offsetInSkinnedWindow(HWND control, int* ownerIndex = nullptr);

// A back buffer released when it goes out of scope.
class BackBuffer {
 public:
  BackBuffer(HWND control, const RECT& rectangle)
      : dc_(createBackBuffer(control, rectangle)),
        width_(rectangle.right - rectangle.left),
        height_(rectangle.bottom - rectangle.top) {}
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  ~BackBuffer() {
    if (dc_) releaseBackBuffer(dc_);
  }

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HDC dc_;
  int width_;
  int height_;
};

// ---- Owning types ----

// A window's device context (GetDC, or GetWindowDC for the whole window), released with the
// window it came from.
class WindowDc {
 public:
  enum Area { kClient, kWholeWindow };
  explicit WindowDc(HWND window, Area area = kClient);
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc();
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND window);
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc();
  HDC get() const { return paint_.hdc; }
  const PAINTSTRUCT& paint() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
};

// A memory device context from CreateCompatibleDC, deleted at the end of its scope.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith);
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc();
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Deletes a GDI object through the declared-function table (null is ignored).
void deleteGdiObject(HGDIOBJ object);

// An owned GDI object (bitmap, brush, region, pen, font), deleted unless released.
template <typename Handle>
class GdiHandleOwner {
 public:
  GdiHandleOwner() = default;
  explicit GdiHandleOwner(Handle handle) : handle_(handle) {}
  GdiHandleOwner(GdiHandleOwner&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiHandleOwner& operator=(GdiHandleOwner&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  GdiHandleOwner(const GdiHandleOwner&) = delete;
  GdiHandleOwner& operator=(const GdiHandleOwner&) = delete;
  ~GdiHandleOwner() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_) ::deleteGdiObject(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};
using OwnedBitmap = GdiHandleOwner<HBITMAP>;
using OwnedBrush = GdiHandleOwner<HBRUSH>;
using OwnedRegion = GdiHandleOwner<HRGN>;

// Selects an object into a device context and selects the previous one back at scope end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object);
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject();

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Excludes the visible child windows that lack WS_EX_TRANSPARENT from the device context's clip
// region (their rectangles in the window's client coordinates), so copies do not paint over them.
void excludeOpaqueChildren(HWND window, HDC dc);

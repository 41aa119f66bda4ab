#pragma once
// Owners of device contexts and of what is selected into them, each releasing what it took at
// the end of its scope, and the clipping that keeps a copy off the opaque child windows.
#include <windows.h>

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

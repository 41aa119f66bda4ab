#include "gdi/deviceContext.h"

#include "win32/declared.h"

WindowDc::WindowDc(HWND window, Area area)
    : window_(window), dc_(area == kWholeWindow ? dll::GetWindowDC(window) : dll::GetDC(window)) {}

WindowDc::~WindowDc() {
  if (dc_) dll::ReleaseDC(window_, dc_);
}

PaintDc::PaintDc(HWND window) : window_(window) {
  dll::BeginPaint(window, &paint_);
}

PaintDc::~PaintDc() {
  dll::EndPaint(window_, &paint_);
}

MemoryDc::MemoryDc(HDC compatibleWith) : dc_(dll::CreateCompatibleDC(compatibleWith)) {}

MemoryDc::~MemoryDc() {
  if (dc_) dll::DeleteDC(dc_);
}

SelectedObject::SelectedObject(HDC dc, HGDIOBJ object)
    : dc_(dc), previous_(dc && object ? dll::SelectObject(dc, object) : nullptr) {}

SelectedObject::~SelectedObject() {
  if (previous_) dll::SelectObject(dc_, previous_);
}

void excludeOpaqueChildren(HWND window, HDC dc) {
  for (HWND child = dll::GetWindow(window, GW_CHILD); child; child = dll::GetWindow(child, GW_HWNDNEXT)) {
    if (!dll::IsWindowVisible(child)) continue;
    if (static_cast<DWORD>(dll::GetWindowLongA(child, GWL_EXSTYLE)) & WS_EX_TRANSPARENT) continue;
    RECT rect;
    dll::GetWindowRect(child, &rect);
    dll::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    dll::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  }
}

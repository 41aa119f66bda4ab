// Dragging the window by its caption, resizing it from its edges, and the docked children.
#include <windowsx.h>

#include "skin/core/engine.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/moveResize.h"

namespace {
// The system's sizing cursors, by number so the A form of the resource name is used.
const LPCSTR kCursorWestEast = MAKEINTRESOURCEA(32644);
const LPCSTR kCursorNorthSouth = MAKEINTRESOURCEA(32645);
const LPCSTR kCursorNorthWestSouthEast = MAKEINTRESOURCEA(32642);
const LPCSTR kCursorNorthEastSouthWest = MAKEINTRESOURCEA(32643);

struct ResizeZone {
  LPCSTR cursor;
  WPARAM sizeCommand;  // SC_SIZE + the edge code
};

// The zone under (x, y) of a client area w x h with edges b thick, in the order they are tested;
// null when the point is in none.
const ResizeZone* resizeZoneAt(int x, int y, int w, int h, int b) {
  static const ResizeZone kLeft{kCursorWestEast, SC_SIZE + WMSZ_LEFT};
  static const ResizeZone kRight{kCursorWestEast, SC_SIZE + WMSZ_RIGHT};
  static const ResizeZone kTop{kCursorNorthSouth, SC_SIZE + WMSZ_TOP};
  static const ResizeZone kBottom{kCursorNorthSouth, SC_SIZE + WMSZ_BOTTOM};
  static const ResizeZone kTopLeft{kCursorNorthWestSouthEast, SC_SIZE + WMSZ_TOPLEFT};
  static const ResizeZone kTopRight{kCursorNorthEastSouthWest, SC_SIZE + WMSZ_TOPRIGHT};
  static const ResizeZone kBottomLeft{kCursorNorthEastSouthWest, SC_SIZE + WMSZ_BOTTOMLEFT};
  static const ResizeZone kBottomRight{kCursorNorthWestSouthEast, SC_SIZE + WMSZ_BOTTOMRIGHT};
  constexpr int c = kResizeCornerSize;
  bool alongY = y > c && y < h - c;
  bool alongX = x > c && x < w - c;
  if (x <= b && alongY) return &kLeft;
  if (x >= w - b && alongY) return &kRight;
  if (y <= b && alongX) return &kTop;
  if (y >= h - b && alongX) return &kBottom;
  if (x <= c && y <= c) return &kTopLeft;
  if (x >= w - c && y <= c) return &kTopRight;
  if (x <= c && y >= h - c) return &kBottomLeft;
  if (x >= w - c && y >= h - c) return &kBottomRight;
  return nullptr;
}

void setCursor(LPCSTR cursor) {
  dll::SetCursor(dll::LoadCursorA(nullptr, cursor));
}

void dragByCaption(HWND window) {
  dll::SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}
}  // namespace

void startMoveOrResize(int recordIndex, LPARAM position, const RECT& client) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record || !record->captionInteractive) return;
  int x = GET_X_LPARAM(position);
  int y = GET_Y_LPARAM(position);
  if (x >= record->stripLeft && x <= record->stripLeft + record->stripWidth && y >= record->stripTop &&
      y <= record->stripTop + record->stripHeight)
    return;
  if (!record->resizable && y <= record->captionHeight) {
    dragByCaption(record->window);
    return;
  }
  if (const ResizeZone* zone = resizeZoneAt(x, y, client.right, client.bottom, engine.borderInset())) {
    record->fullRepaintNeeded = 1;
    setCursor(zone->cursor);
    dll::SendMessageA(record->window, WM_SYSCOMMAND, zone->sizeCommand, 0);
    return;
  }
  if (y <= record->captionHeight) dragByCaption(record->window);
}

void updateResizeCursor(int recordIndex, LPARAM position, const RECT& client) {
  SkinEngine& engine = skinEngine();
  WindowRecord* record = engine.recordAt(recordIndex);
  if (!record || !record->resizable) return;
  if (const ResizeZone* zone = resizeZoneAt(GET_X_LPARAM(position), GET_Y_LPARAM(position), client.right, client.bottom,
                                            engine.borderInset()))
    setCursor(zone->cursor);
}

void placeDockedChildren(int recordIndex) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || record->dockedChildren.empty()) return;
  RECT client;
  dll::GetClientRect(record->window, &client);
  constexpr int kSideGap = 2;
  constexpr int kBottomGap = 3;
  for (const DockedChild& child : record->dockedChildren)
    dll::MoveWindow(child.window, kSideGap, child.top, client.right - 2 * kSideGap,
                    client.bottom - child.top - record->bottomBarHeight - kBottomGap, TRUE);
}

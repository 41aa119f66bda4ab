#pragma once
// The window record: what the skin engine keeps for one skinned top-level window. The numbers
// in the comments are the record's field numbers, which the rest of the skin refers to.
//
// Records are owned by the engine's window-record table (1-based; a window's position there is
// its window record index, stored in its property Hw_lbID) and die at WM_NCDESTROY of their
// window, which renumbers the records behind it. A record owns the frame's device contexts and
// bitmaps (20..23, 65..67 and the background's two in Ck_Ycjdx and Ck_wtjbdx) and releases them
// when it dies.
#include <windows.h>

#include <memory>
#include <optional>

#include "gfx/gdiObject.h"
#include "gfx/toolTip.h"
#include "toolkit/valueModel.h"

enum CaptionButtonKind : int {
  kCaptionClose = 0,
  kCaptionMaximise = 1,  // maximise / restore
  kCaptionMinimise = 2,
  kCaptionMainMenu = 3,
  kCaptionHelp = 4,
  kCaptionUser = 5,
};

using CaptionCallback = void (*)();

// One caption button, in the order of creation (left to right).
struct CaptionButton {
  int imageWidth = 0;  // 26, or 38 for the close button
  int imageHeight = 0;
  ByteSet image;        // PNG
  ByteSet secondImage;  // the maximise button's image while maximised; empty for the others
  int reserved = 0;
  int kind = kCaptionClose;            // CaptionButtonKind
  Text name;                           // tooltip text
  CaptionCallback callback = nullptr;  // kind 5 only
  RectF rectangle{};                   // client coordinates, set by the layout
};

// A hover fade in progress: the caption button and how many 20 ms ticks have passed (8 = done).
struct FadeState {
  int button = 0;
  int step = 0;
};

// The control lists of a record; their type is the controls layer's, and so is the deleter.
struct ControlLists;
using OwnedControlLists = std::unique_ptr<ControlLists, void (*)(ControlLists*)>;

struct DockedChild {
  HWND window = nullptr;
  int top = 0;
};

struct WindowRecord {
  WindowRecord() = default;
  WindowRecord(const WindowRecord&) = delete;
  WindowRecord& operator=(const WindowRecord&) = delete;
  // Releases the frame buffers: the background device context and its bitmaps, then the caption
  // and bottom-bar snapshots.
  ~WindowRecord();

  HWND window = nullptr;                // 0: the key by which records are found
  int captionHeight = 0;                // 1: at least 25
  int helpButtonWanted = 0;             // 2
  int mainMenuButtonWanted = 0;         // 3
  int minimiseBox = 0;                  // 4: WS_MINIMIZEBOX in the style
  int maximiseBox = 0;                  // 5: WS_MAXIMIZEBOX in the style
  int closeButton = 0;                  // 6: always 1
  int titleDrawn = 0;                   // 7: the caption text is drawn and redrawn on WM_SETTEXT
  int captionOption = 0;                // 8: a white gloss over the caption
  WNDPROC savedProcedure = nullptr;     // 10
  ByteSet windowPicture;                // 12: a background of this window alone, prepared by its mode
  int windowBackgroundMode = 0;         // 13
  COLORREF windowBaseColour = 0;        // 14: from the window's own picture; 0 without one
  Array<CaptionButton> captionButtons;  // 15: starts empty

  // 16..19: the caption-button strip, client coordinates.
  int stripLeft = 0;
  int stripTop = 0;
  int stripWidth = 0;
  int stripHeight = 0;

  // 20..23: the bitmaps the snapshot device contexts were created with, and their own ones.
  HGDIOBJ captionFirstBitmap = nullptr;  // 20
  HBITMAP captionOwnBitmap = nullptr;    // 21
  HGDIOBJ bottomFirstBitmap = nullptr;   // 22
  HBITMAP bottomOwnBitmap = nullptr;     // 23

  int maximised = 0;                           // 24: maximised by the engine
  int minimised = 0;                           // 25
  POINT minimumTrackSize{};                    // 26, 27: 200 x 150
  POINT maximumTrackSize{};                    // 28, 29: the screen size at skinning time
  int resizable = 0;                           // 30: edges resize, a caption double-click runs maximise
  int captionInteractive = 0;                  // 31: caption buttons react to the mouse
  COLORREF titleColour = 0;                    // 32: 0xFFFFFF
  COLORREF secondTitleColour = 0;              // 33: 0x808080, the title's outline
  Text titleFont;                              // 34: "宋体"
  int titleFontSize = 0;                       // 35: 12
  int titleFontStyle = 0;                      // 36: 1
  int hoveredCaptionButton = 0;                // 37: 1-based, 0 for none
  int rendererHoverState = 0;                  // 38: the renderers' own
  LONG_PTR rendererData = 0;                   // 39: the renderers' own
  CaptionCallback helpCallback = nullptr;      // 40
  CaptionCallback mainMenuCallback = nullptr;  // 41
  ToolTip captionToolTips;                     // 42: one tool per caption button

  // 43..52: the bottom bar (this program shows none).
  int bottomBarHeight = 0;           // 43: 0 = no bar
  RECT bottomBarRect{};              // 44
  Array<Text> bottomBarItems;        // 45
  int bottomBarOptions[3] = {};      // 46..48
  int bottomBarSpare = 0;            // 49
  COLORREF bottomBarTextColour = 0;  // 50: 0xFFFFFF
  Text bottomBarFont;                // 51: "宋体"
  int bottomBarFontSize = 0;         // 52: 12

  // 53..60, 62 and 71: one control list per renderer family, the transparent controls and the
  // containers. Made with the record by the controls layer, which alone knows the records in them
  // (skin/controls/shared/controlRecords.h).
  OwnedControlLists controls{nullptr, nullptr};

  int fullRepaintNeeded = 0;        // 64: the next WM_PAINT repaints the whole frame
  HDC backgroundDc = nullptr;       // 65: the painted skin background, client-sized
  HDC captionSnapshotDc = nullptr;  // 66: the top of the background before title and buttons
  HDC bottomSnapshotDc = nullptr;   // 67: under the bottom bar

  // 68, 69 and the hot-list kind and parent: the renderers' shared hover state. At most one
  // control of a window is hot; the kind says which family's list the index belongs to.
  int hotControlIndex = 0;    // 68
  int hotListKind = 0;        // HotListKind (skin/controls/shared/controlRecords.h); 0: buttons
  HWND hotParent = nullptr;   // the hot edit box's parent (a window or a container)
  int controlUnderMouse = 0;  // 69
  int spare70 = 0;            // 70
  // 71, the container list, is one of the control lists above.
  int skinned = 0;                    // 72
  Array<DockedChild> dockedChildren;  // 74: re-placed on WM_SIZE; empty in this program
  int mouseTracked = 0;               // 75: between WM_MOUSEHOVER and WM_MOUSELEAVE
  FadeState fadeIn;                   // 76
  FadeState fadeOut;                  // 77
  int fadeTimerRunning = 0;           // 78: the 20 ms caption timer runs
};

using WindowRecordTable = Array<std::unique_ptr<WindowRecord>>;

// Releases a snapshot device context (66 or 67) with its bitmaps (20, 21 or 22, 23): the first
// bitmap is selected back, the context and its own bitmap are deleted, and all three cleared.
void releaseSnapshot(HDC& dc, HGDIOBJ& firstBitmap, HBITMAP& ownBitmap);

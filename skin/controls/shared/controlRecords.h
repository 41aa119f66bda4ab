#pragma once
// The control records that the renderers keep in a window record, one list per renderer family.
// Every list starts as exactly one zero-filled record; the first registration of that family
// fills it, later registrations append.
//
// Lists hold records by value: a reference into a list is invalidated by an append, so do not
// keep one across a call that can register controls (registration passes, container set-up).
#include <windows.h>

#include <commctrl.h>

#include "skin/core/windowRecord.h"
#include "toolkit/valueModel.h"

// Which family the window record's hot-control index belongs to.
enum HotListKind : int {
  kHotButtons = 0,
  kHotEditBoxes = 1,
  kHotTrackBars = 2,
  kHotComboBoxes = 3,
  kHotListLike = 4,
  kHotUpDowns = 8,
  kHotHeaders = 9,
};

// Push buttons, check boxes and auto radio buttons.
enum ButtonKind : int {
  kPushButton = 0,
  kRadioButton = 4,
  kCheckBox = 5,
};

struct ButtonRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;  // also in the property Hw_hProc
  int kind = kPushButton;            // ButtonKind
  Text text;                         // the caption, kept up to date on WM_SETTEXT
  int hasFocus = 0;
  Text fontFamily;    // push buttons: "宋体" when the control's font has no family name
  int fontSize = 0;   // em size, truncated; push buttons: 12 when it reads 0
  int fontStyle = 0;  // Gdiplus::FontStyle bits
};

// Edit boxes, including the edit field inside a drop-down combo box.
struct EditRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int hasFocus = 0;
  int buttonDown = 0;  // left button held inside the box
};

struct ComboRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int hasFocus = 0;
};

// List boxes, a combo box's "ComboLBox" child, list views, tree views, IP address controls and
// date-time pickers.
struct ListRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int hasFocus = 0;
  int hot = 0;
  int arrowKeyDown = 0;  // one of VK_LEFT..VK_DOWN is held
};

struct TrackBarRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int vertical = 0;       // TBS_VERT
  int tickPlacement = 0;  // 3 TBS_NOTICKS, else 0 TBS_TOP, else 2 TBS_BOTH, else 1
  int hot = 0;
  int selectionRange = 0;  // TBS_ENABLESELRANGE
};

struct ProgressBarRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int vertical = 0;  // PBS_VERTICAL
};

struct UpDownRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int hot = 0;
  int pressed = 0;         // left button down
  int horizontal = 0;      // UDS_HORZ
  int halfUnderMouse = 0;  // the up-down hit test's result: 1 beyond the middle
};

struct HeaderRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;
  int hot = 0;
  int hotItem = 0;       // index of the item under the mouse
  int buttonsStyle = 0;  // HDS_BUTTONS
  int pressedItem = 0;
  Text fontFamily;
  int fontSize = 0;
  int fontStyle = 0;
  HIMAGELIST imageList = nullptr;  // destroyed on the header's WM_NCDESTROY
};

// Labels, picture boxes, drawing panels and shape boxes, composed over the skin background.
// Their properties are the Kj_ ones: such a control can also be a container, which subclasses it
// a second time and keeps this family's procedure in Hw_hProc.
struct TransparentRecord {
  HWND window = nullptr;
  WNDPROC savedProcedure = nullptr;  // also in the property Kj_hProc
  COLORREF keyColour = 0;            // pixels of this colour show the skin background
};

// A window that follows its container's size.
struct LayoutChild {
  HWND window = nullptr;
  int value = 0;
};

// Group boxes and tab controls, and transparent controls that hold child windows.
struct ContainerRecord {
  HWND window = nullptr;
  COLORREF bodyColour = 0;  // 0: no body fill
  BYTE alpha = 0;           // opacity of the body fill
  int border = 0;           // non-zero: a double rounded border around a non-group-box container
  int resized = 0;          // the next WM_PAINT repaints the whole container
  int isGroupBox = 0;
  int skinned = 0;  // 1: painted by the container renderer; 0: only holds skinned children
  Text fontFamily;  // the group box caption's font
  int fontSize = 0;
  int fontStyle = 0;
  Array<LayoutChild> childLayout;  // starts as one empty pair
};

// A window record's control lists; the numbers are the record's field numbers. 58 is the
// list-like family: the full paint asks 53, 54, 55 and 58 to repaint.
struct ControlLists {
  Array<ButtonRecord> buttons{ButtonRecord{}};                 // 53
  Array<EditRecord> edits{EditRecord{}};                       // 54
  Array<ComboRecord> combos{ComboRecord{}};                    // 55
  Array<TrackBarRecord> trackBars{TrackBarRecord{}};           // 56
  Array<ProgressBarRecord> progressBars{ProgressBarRecord{}};  // 57
  Array<ListRecord> listLikes{ListRecord{}};                   // 58
  Array<UpDownRecord> upDowns{UpDownRecord{}};                 // 59
  Array<HeaderRecord> headers{HeaderRecord{}};                 // 60
  Array<TransparentRecord> transparents{TransparentRecord{}};  // 62: labels, picture boxes, drawing panels, shape boxes
  Array<ContainerRecord> containers{ContainerRecord{}};        // 71: group boxes and tab controls
};

// The lists a new window record starts with.
inline OwnedControlLists newControlLists() {
  return OwnedControlLists(new ControlLists, [](ControlLists* lists) { delete lists; });
}

// The slot for a new registration: the list's single empty record when it still has one,
// otherwise a zero-filled record appended at the end. Returns its 1-based index.
template <typename Record>
int takeRecordSlot(Array<Record>& list) {
  if (list.count() == 1 && list[1].window == nullptr) return 1;
  list.append(Record{});
  return list.count();
}

// The 1-based index of the control's record in the list, 0 when it has none.
template <typename Record>
int findControlRecord(const Array<Record>& list, HWND window) {
  if (!window) return 0;
  for (int i = 1; i <= list.count(); ++i)
    if (list[i].window == window) return i;
  return 0;
}

// Registering the list-like controls under a parent, class by class.
#include "skin/core/engine.h"
#include "skin/render/controlRegistration.h"
#include "skin/render/listLike.h"
#include "skin/render/registration.h"
#include "win32/declared.h"

namespace {
constexpr DWORD kOwnerDrawnList = 0x10;         // LBS_OWNERDRAWFIXED on a combo box's list
constexpr DWORD kListViewLeftAlone = 0x10;      // list views with this style bit keep the system look
constexpr COLORREF kTreeBackground = 0xFF00FF;  // keyed out when the tree is composed

DWORD styleOf(HWND window) {
  return static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
}

// The list of a simple combo box is its child; a drop-down's list is a pop-up and is not found.
HWND comboListOf(HWND comboBox) {
  HWND list = dll::FindWindowExA(comboBox, nullptr, "ComboLBox", nullptr);
  return list && !(styleOf(list) & kOwnerDrawnList) ? list : nullptr;
}
}  // namespace

void registerListLikeControls(int recordIndex, HWND parent) {
  WindowRecord* record = recordForPass(recordIndex, parent);
  if (!record) return;
  const SkinSettings& settings = skinEngine().settings();
  auto add = [&](HWND control) { enterControl(recordIndex, record->listLikes, control, listLikeProcedure); };

  forEachChildOfClass(parent, "ListBox", add);
  forEachChildOfClass(parent, "ComboBox", [&](HWND comboBox) { add(comboListOf(comboBox)); });
  forEachChildOfClass(parent, "SysListView32", [&](HWND listView) {
    if (styleOf(listView) & kListViewLeftAlone) return;
    if (settings.translucencyGiven) dll::SendMessageA(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE));
    add(listView);
  });
  forEachChildOfClass(parent, "SysTreeView32", [&](HWND treeView) {
    if (settings.translucencyGiven)
      dll::SendMessageA(treeView, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBackground));
    add(treeView);
  });
  forEachChildOfClass(parent, "SysIPAddress32", add);
  forEachChildOfClass(parent, "SysDateTimePick32", add);
}

// Registering the list-like controls under a parent, class by class.
#include "gfx/declared.h"
#include "skin/engine.h"
#include "skin/properties.h"
#include "skin/render/listLike.h"
#include "skin/render/registration.h"
#include "skin/subclass.h"

namespace {
constexpr DWORD kOwnerDrawnList = 0x10;         // LBS_OWNERDRAWFIXED on a combo box's list
constexpr DWORD kListViewLeftAlone = 0x10;      // list views with this style bit keep the system look
constexpr COLORREF kTreeBackground = 0xFF00FF;  // keyed out when the tree is composed

DWORD styleOf(HWND window) {
  return static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
}

template <typename Visit>
void forEachChild(HWND parent, const char* className, Visit visit) {
  for (HWND child = dll::FindWindowExA(parent, nullptr, className, nullptr); child;
       child = dll::FindWindowExA(parent, child, className, nullptr))
    visit(child);
}

void registerListLike(int recordIndex, WindowRecord& record, HWND control) {
  // A second subclass would make the list procedure its own saved procedure.
  if (!control || findControlRecord(record.listLikes, control)) return;
  int slot = takeRecordSlot(record.listLikes);
  record.listLikes[slot].window = control;
  WNDPROC saved = subclassWindow(control, listLikeProcedure);
  record.listLikes[slot].savedProcedure = saved;
  setPropertyTo(control, prop::kSavedProcedure, saved);
  setPropertyTo(control, prop::kListIndex, slot);
  setPropertyTo(control, prop::kOwnerIndex, recordIndex);
}

// The list of a simple combo box is its child; a drop-down's list is a pop-up and is not found.
HWND comboListOf(HWND comboBox) {
  HWND list = dll::FindWindowExA(comboBox, nullptr, "ComboLBox", nullptr);
  return list && !(styleOf(list) & kOwnerDrawnList) ? list : nullptr;
}
}  // namespace

void registerListLikeControls(int recordIndex, HWND parent) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  const SkinSettings& settings = skinEngine().settings();
  if (!record || !parent || !settings.skinEnabled) return;
  auto add = [&](HWND control) { registerListLike(recordIndex, *record, control); };

  forEachChild(parent, "ListBox", add);
  forEachChild(parent, "ComboBox", [&](HWND comboBox) { add(comboListOf(comboBox)); });
  forEachChild(parent, "SysListView32", [&](HWND listView) {
    if (styleOf(listView) & kListViewLeftAlone) return;
    if (settings.translucencyGiven) dll::SendMessageA(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE));
    add(listView);
  });
  forEachChild(parent, "SysTreeView32", [&](HWND treeView) {
    if (settings.translucencyGiven)
      dll::SendMessageA(treeView, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBackground));
    add(treeView);
  });
  forEachChild(parent, "SysIPAddress32", add);
  forEachChild(parent, "SysDateTimePick32", add);
}

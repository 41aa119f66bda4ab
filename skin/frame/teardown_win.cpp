// Teardown of a skinned window at WM_NCDESTROY, and the renumbering of the records behind it.
#include "gdi/gdiHandle.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/frame/teardown.h"

namespace {
void freeControlBrushes(WindowRecord& record) {
  for (const EditRecord& edit : record.controls->edits) {
    if (!edit.window) continue;
    // Cleared too: an edit box that is still alive deletes these itself on WM_DESTROY.
    deleteGdiObject(getPropertyAs<HGDIOBJ>(edit.window, prop::kBrushBitmap));
    deleteGdiObject(getPropertyAs<HGDIOBJ>(edit.window, prop::kColourBrush));
    removeProperty(edit.window, prop::kBrushBitmap);
    removeProperty(edit.window, prop::kColourBrush);
  }
}

template <typename List>
void setOwnerIndex(const List& list, const char* property, int index) {
  for (const auto& control : list)
    if (control.window) setProperty(control.window, property, index);
}

void renumber(WindowRecordTable& table) {
  for (int j = 1; j <= table.count(); ++j) {
    const WindowRecord& record = *table[j];
    setProperty(record.window, prop::kListIndex, j);
    setOwnerIndex(record.controls->buttons, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->edits, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->combos, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->trackBars, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->progressBars, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->listLikes, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->upDowns, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->headers, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->containers, prop::kOwnerIndex, j);
    setOwnerIndex(record.controls->transparents, prop::kTransparentOwner, j);
  }
}
}  // namespace

void tearDownWindow(HWND window) {
  WindowRecordTable& table = skinEngine().windowRecords();
  if (int index = findWindowRecord(window)) {
    WindowRecord& record = *table[index];
    freeControlBrushes(record);
    // The record releases the frame's buffers as it goes.
    table.remove(index);
  }
  renumber(table);
}

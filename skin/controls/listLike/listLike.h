#pragma once
// List-like controls: list boxes, the list of a simple combo box ("ComboLBox"), list views, tree
// views, IP address controls and date-time pickers. They draw their own content; the skin gives
// them its thin frame and, with the translucency given, the whitened skin behind the content.
#include <windows.h>

#include <optional>

// The registration pass (window record index, parent window): the list boxes, simple combo boxes'
// lists, list views, tree views, IP address controls and date-time pickers among the parent's
// children. It does nothing while the skin-enabled flag is clear or without a parent.
void registerListLikeControls(int recordIndex, HWND parent);

LRESULT CALLBACK listLikeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WS_BORDER, or an extended style with an edge: such controls get the skin's frame.
bool hasListBorder(HWND control);

// The frame over the non-client ring, in the control's window coordinates; hot and focused are
// taken from the record when not given. A control without a border (or a "ComboLBox") shows none.
void drawListFrame(int recordIndex, int listIndex, std::optional<bool> hot = {}, std::optional<bool> focused = {});

// WM_PAINT of a tree view whose background is magenta: the tree paints off screen, the magenta is
// keyed out over the whitened skin, and the result goes to the screen.
void composeTreeView(HWND treeView, WNDPROC saved);
// WM_PAINT of a list view or plain list box: the control paints over the whitened skin.
void paintThroughWhitenedBuffer(HWND control, WNDPROC saved);

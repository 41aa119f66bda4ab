#pragma once
// Header controls ("SysHeader32"), including the header inside every list view, painted
// completely by the skin: each item a soft accent gradient with a divider, lit under the mouse.
#include <windows.h>

#include <optional>

// The registration pass (window record index, parent window): the headers among the parent's
// children. It does nothing while the skin-enabled flag is clear or without a parent.
void registerHeaders(int recordIndex, HWND parent);

LRESULT CALLBACK headerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints every item of the header of the window record's list; hot from the record when not
// given.
void paintHeader(int recordIndex, int listIndex, std::optional<bool> hot = {});

// The index of the item under the point (client coordinates), -1 for none.
int headerItemAt(HWND header, POINT point);

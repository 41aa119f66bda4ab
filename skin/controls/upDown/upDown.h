#pragma once
// Up-down controls ("msctls_updown32"), painted completely by the skin: two halves with arrow
// images, the half under the mouse lit in the accent colour.
#include <windows.h>

#include <optional>

// The registration pass (window record index, parent window): the up-down controls among the parent's
// children. It does nothing while the skin-enabled flag is clear or without a parent.
void registerUpDownControls(int recordIndex, HWND parent);

LRESULT CALLBACK upDownProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the up-down control of the window record's list onto its window; hot from the record
// when not given.
void paintUpDown(int recordIndex, int listIndex, std::optional<bool> hot = {});

// 1 when the point (client coordinates) lies in the second half of the control: right of the
// middle for UDS_HORZ, below it otherwise; else 0.
int upDownHitTest(int recordIndex, int listIndex, POINT mouse);

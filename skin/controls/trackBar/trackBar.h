#pragma once
// Track bars ("msctls_trackbar32"), painted completely by the skin: a soft frame, a thin channel,
// the progress line in the accent colour and a thumb that grows from a dot to a circle on hover.
#include <windows.h>

#include <optional>

// The registration pass (window record index, parent window): the track bars among the parent's
// children. It does nothing while the skin-enabled flag is clear or without a parent.
void registerTrackBars(int recordIndex, HWND parent);

LRESULT CALLBACK trackBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the track bar of the window record's list onto its window; hot from the record when not
// given.
void paintTrackBar(int recordIndex, int listIndex, std::optional<bool> hot = {});

#pragma once
// Progress bars ("msctls_progress32"), painted completely by the skin: a soft frame and a filled
// part in the accent colour. They have no hover look.
#include <windows.h>

// The registration pass (window record index, parent window): the progress bars among the parent's
// children. It does nothing while the skin-enabled flag is clear or without a parent.
void registerProgressBars(int recordIndex, HWND parent);

LRESULT CALLBACK progressBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the progress bar of the window record's list into dc, or onto its window when dc is null.
void paintProgressBar(int recordIndex, int listIndex, HDC dc = nullptr);

// The length of the filled part for a bar of that length (width, or height when vertical).
int progressFillLength(int barLength, int low, int high, int position);

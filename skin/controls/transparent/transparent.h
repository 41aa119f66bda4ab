#pragma once
// Transparent controls: labels, picture boxes, drawing panels and shape boxes paint themselves
// as usual, and the result is composed over the skin background with the control's key colour
// (normally the system face colour) left out.
#include <windows.h>

#include "skin/core/windowRecord.h"

// Enters the control in the record's transparent-control list (the single empty record, or a new
// one) with its key colour, subclasses it and tags it with Kj_hProc, Kj_lbID and Kj_FuID.
// Registering a transparent control (skin/controls/controlPasses.h) also makes a control with
// child windows a container.
void enterTransparentControl(int recordIndex, WindowRecord& record, HWND control, COLORREF keyColour);

LRESULT CALLBACK transparentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Classes that can paint into a device context they are given (WM_PAINT with wParam) are
// composed off screen (mode A); all others paint on screen and are picked up from there (mode B).
bool composesOffScreen(HWND control);
// Mode A: the control paints over a back buffer of the skin; its key-coloured pixels are replaced
// by the whitened background. Returns the result of the control's own paint.
LRESULT composeOffScreen(HWND control, WNDPROC saved, COLORREF key);
// Mode B: the control paints on screen; its pixels other than the key colour are laid onto the
// skin background behind the update rectangle, and the result goes back to the screen.
LRESULT composeOnScreen(HWND control, WNDPROC saved, COLORREF key);

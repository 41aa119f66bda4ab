#pragma once
// The order of the control families' registration passes, and the registrations that span
// families: a container runs every pass over its children, and a transparent control with child
// windows becomes a container. The frame calls these; no family calls up to them.
#include <windows.h>

#include <optional>

// Every registration pass of the families over the direct children of parent, in their order:
// push buttons, check boxes and radio buttons, edit boxes, combo boxes and their edit fields,
// track bars, progress bars, list-like controls, up-down controls, headers. Each pass leaves a
// control already in its family's list alone, so passes run twice subclass nothing twice. Used by
// skin a window and by the container registration. A record index of 0 does nothing.
void runRegistrationPasses(int recordIndex, HWND parent);

// Group boxes and tab controls: enters the container in its window record's container list,
// runs the registration passes with it as parent and subclasses it. skinned 1, alpha 255 and
// border 0 where not given. A container already in the list is left alone. Returns its index
// in the container list (0 when no ancestor is skinned).
int registerContainer(HWND container, COLORREF bodyColour, std::optional<int> alpha = {},
                      std::optional<int> skinned = {}, std::optional<int> border = {});

// Labels, picture boxes, drawing panels and shape boxes: composed over the skin background with
// the key colour (GetSysColor(COLOR_BTNFACE) when omitted) transparent. A control with child
// windows is also registered as an unpainted container with the body colour and alpha. Returns
// the container index in that case, else 0.
int registerTransparentControl(HWND control, std::optional<COLORREF> keyColour, COLORREF bodyColour,
                               std::optional<int> alpha);

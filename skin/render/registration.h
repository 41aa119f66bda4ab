#pragma once
// The renderers' entry points that the skin core calls: the registration passes run for the
// children of every skinned window (and of every container), the containers and transparent
// controls that the skin entry registers by kind, and the owner-draw dispatch.
#include <windows.h>

#include <optional>

// Every registration pass of the renderers over the direct children of parent, in their order:
// push buttons, check boxes and radio buttons, edit boxes (which run the combo-box pass), track
// bars, progress bars, list-like controls, up-down controls, headers. Used by skin a window and
// by the container registration. A record index of 0 does nothing.
void runRegistrationPasses(int recordIndex, HWND parent);

// The passes, each given (window record index, parent window); each does nothing while the
// skin-enabled flag is clear or without a parent, and leaves a control already in its family's
// list alone, so a pass run twice subclasses nothing twice.
void registerPushButtons(int recordIndex, HWND parent);
void registerCheckAndRadioButtons(int recordIndex, HWND parent);
// Edit boxes, then the combo-box pass and the edit fields inside the combo boxes.
void registerEditBoxes(int recordIndex, HWND parent);
void registerComboBoxes(int recordIndex, HWND parent);
void registerTrackBars(int recordIndex, HWND parent);
void registerProgressBars(int recordIndex, HWND parent);
void registerListLikeControls(int recordIndex, HWND parent);
void registerUpDownControls(int recordIndex, HWND parent);
void registerHeaders(int recordIndex, HWND parent);

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

// WM_DRAWITEM of a skinned window or container: paints owner-drawn push buttons.
void drawItem(int recordIndex, const DRAWITEMSTRUCT& item);

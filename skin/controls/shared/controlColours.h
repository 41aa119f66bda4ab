#pragma once
// The answers a skinned window gives its controls' colour and change messages, shared by the
// main window's message handler and the containers (whose children send these to them).
#include <windows.h>

// WM_CTLCOLORBTN / WM_CTLCOLORLISTBOX: the control's text colour (Kj_Ztys), transparent
// background mode, and the stock null brush, stored as the control's Kj_dxjb after the previous
// one is deleted. Returns the brush.
LRESULT answerWithNullBrush(HWND control, HDC dc);

// WM_CTLCOLORSTATIC / WM_CTLCOLOREDIT: the text colour and transparent mode as above, and a
// pattern brush of the whitened skin background behind the control; brush and bitmap replace
// (and delete) the control's Kj_dxjb and Kj_wtjb. Returns the brush.
LRESULT answerWithBackgroundBrush(HWND control, HDC dc);

// The class name of a window (at most 255 characters).
bool hasClass(HWND window, const char* className);

// A list box with LBS_OWNERDRAWFIXED or LBS_OWNERDRAWVARIABLE draws its own background.
bool isOwnerDrawnListBox(HWND window);

// The WM_COMMAND rule: an "Edit" sending EN_VSCROLL, EN_HSCROLL, EN_CHANGE or EN_UPDATE, a
// "ListBox" sending LBN_SELCHANGE or LBN_SELCANCEL, a "ComboBox" sending CBN_KILLFOCUS or
// CBN_SELCHANGE is invalidated (whole client area, erased). The caller checks the skin-enabled
// and translucency-given flags.
void invalidateOnChangeNotification(WPARAM wParam, LPARAM lParam);

// The WM_NOTIFY rule: a tree view's item expanding or expanded invalidates the tree view.
void invalidateOnTreeExpansion(LPARAM lParam);

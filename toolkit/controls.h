#pragma once
// Control access used by the handlers: content texts of edit boxes and combo boxes.
#include <windows.h>

#include <string_view>

#include "toolkit/valueModel.h"

// The whole content text (an edit box's content, a combo box's edit part).
Text controlText(HWND control);
void setControlText(HWND control, std::string_view text);

// Appends text to an edit box: caret to the end, end scrolled into view, the text replaces the
// empty selection there, without an undo step.
void appendText(HWND editBox, std::string_view text);

// Appends each text in order, with the same result as one appendText per text (final text,
// caret at the end, end in view, no undo step) but as a single edit of the box: appending line
// by line costs a re-layout of the whole box per line.
void appendTexts(HWND editBox, const Array<Text>& texts);

#pragma once
// Conversions between the program's texts (GBK, the ANSI code page) and the UTF-16 texts and
// GUIDs that GDI+ and OLE take.
#include <windows.h>

#include <string>

#include "toolkit/valueModel.h"

// The text in UTF-16 (ANSI code page); the string's terminating zero ends it for GDI+.
std::wstring toWide(const Text& text);
// A zero-terminated UTF-16 text back in the ANSI code page, the one toWide reads.
Text fromWide(const wchar_t* text);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex, as StringFromGUID2 writes it.
Text guidToText(const GUID& guid);
// The GUID of a text in that form; false (and a zero GUID) when the text is not one.
bool textToGuid(const Text& text, GUID& guid);

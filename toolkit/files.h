#pragma once
// File and message-box commands of the toolkit.
#include <initializer_list>
#include <string_view>

#include "toolkit/valueModel.h"

// Writes the byte sets in order, skipping empty ones, as the whole new content of the file. True
// only when all of it is in place; otherwise the file is left exactly as it was (or absent), and
// no scratch file stays behind. A replaced file keeps its hidden and system attributes; a
// read-only file, a folder, or a file another program holds open without sharing its deletion
// is refused. False for an empty name; shows nothing.
bool writeFile(std::string_view fileName, std::initializer_list<const ByteSet*> parts);

// MessageBoxA without owner; task-modal unless the style asks for system-modal.
int messageBox(std::string_view text, unsigned style, std::string_view title);

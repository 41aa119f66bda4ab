#pragma once
// File and message-box commands of the toolkit.
#include <initializer_list>
#include <string_view>

#include "toolkit/valueModel.h"

// Creates or truncates the file (exclusive sharing) and writes the byte sets in order, skipping
// empty ones. False for an empty name or any failure to open or write; shows nothing.
bool writeFile(std::string_view fileName, std::initializer_list<const ByteSet*> parts);

// MessageBoxA without owner; task-modal unless the style asks for system-modal.
int messageBox(std::string_view text, unsigned style, std::string_view title);

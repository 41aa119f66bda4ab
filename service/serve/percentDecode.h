#pragma once
// Decoding of one key or value of a query string, byte by byte: the result is the bytes the sender
// encoded (GBK for the program's values), never reinterpreted in another code page.
#include <optional>
#include <string_view>

#include "toolkit/valueModel.h"

// "%XX" (hex digits of either case) becomes the byte XX, "+" a space (as browsers send form fields);
// every other byte stays as it is. Empty when a "%" is not followed by two hex digits.
std::optional<Text> percentDecode(std::string_view encoded);

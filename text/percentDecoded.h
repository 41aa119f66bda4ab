#pragma once
// Percent-decoding where a stray "%" is data: "%XX" (hex digits of either case) is the byte XX, and a "%"
// without two hex digits after it stands for itself, as a password written into a URL may hold one
// unencoded. Never fails; the bytes are not reinterpreted in any code page.
#include <string>
#include <string_view>

std::string percentDecoded(std::string_view text);

// The value of one hex digit of either case; -1 for any other byte.
int hexDigitValue(char c);

#pragma once
// Pieces both of the service's pages use.
#include <cstdint>
#include <string>
#include <string_view>

// Appends `text` with the characters that matter to HTML escaped. Safe on GBK as on UTF-8: the
// escaped bytes are all below 0x40, where no trail byte of either lies.
void appendHtmlEscaped(std::string& page, std::string_view text);

// A time in seconds since 1970, in UTC, as strftime's `format` gives it.
std::string formatUtcTime(std::int64_t seconds, const char* format);

#pragma once
// Pieces both of the service's pages use.
#include <cstdint>
#include <string>
#include <string_view>

// Appends `text` with the characters that matter to HTML escaped. Safe on GBK as on UTF-8: the
// escaped bytes are all below 0x40, where no trail byte of either lies.
void appendHtmlEscaped(std::string& page, std::string_view text);

// A UTF-8 text written as a u8 literal, as the narrow string the pages are built of (plain literals are
// GBK in this build).
inline std::string fromU8(std::u8string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// A time in seconds since 1970, in UTC, as strftime's `format` gives it.
std::string formatUtcTime(std::int64_t seconds, const char* format);

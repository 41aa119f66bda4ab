#pragma once
// UTF-8 and JSON text for the JSON answer, written directly: a JSON library's tree costs more than the
// answer itself. The bytes are those nlohmann::json's compact dump gives (keys in order, UTF-8 as is).
#include <cstdint>
#include <string>
#include <string_view>

// Well-formed UTF-8: no stray continuation byte, no overlong form, no surrogate, nothing past U+10FFFF.
bool isUtf8(std::string_view text);

// `text` as a JSON string, quotes included: '"', '\' and control characters escaped, UTF-8 kept as it is,
// and each ill-formed sequence replaced by U+FFFD.
void appendJsonString(std::string& json, std::string_view text);

void appendJsonNumber(std::string& json, std::uint64_t number);

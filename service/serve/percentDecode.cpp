#include "service/serve/percentDecode.h"

#include "text/percentDecoded.h"

std::optional<Text> percentDecode(std::string_view encoded) {
  Text decoded;
  decoded.reserve(encoded.size());
  for (std::size_t at = 0; at < encoded.size(); ++at) {
    char c = encoded[at];
    if (c == '+') {
      decoded += ' ';
    } else if (c != '%') {
      decoded += c;
    } else {
      int high = at + 1 < encoded.size() ? hexDigitValue(encoded[at + 1]) : -1;
      int low = at + 2 < encoded.size() ? hexDigitValue(encoded[at + 2]) : -1;
      if (high < 0 || low < 0) return std::nullopt;
      decoded += static_cast<char>(high * 16 + low);
      at += 2;
    }
  }
  return decoded;
}

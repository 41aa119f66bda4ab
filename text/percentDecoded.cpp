#include "text/percentDecoded.h"

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '%' && at + 2 < text.size() && hexDigitValue(text[at + 1]) >= 0 &&
        hexDigitValue(text[at + 2]) >= 0) {
      plain += static_cast<char>(hexDigitValue(text[at + 1]) * 16 + hexDigitValue(text[at + 2]));
      at += 2;
    } else {
      plain += text[at];
    }
  }
  return plain;
}

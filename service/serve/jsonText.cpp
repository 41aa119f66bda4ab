#include "service/serve/jsonText.h"

#include <charconv>

namespace {

// The length of the well-formed character at `at`, or 0 when the bytes there are not one.
std::size_t characterAt(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  unsigned char second = length > 1 ? byte(at + 1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)) return 0;  // overlong, surrogate
  if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) return 0;  // overlong, too high
  return length;
}

// How many bytes one ill-formed sequence at `at` spans: the lead and the continuation bytes that could
// still have belonged to it, so that the next character is read from its own first byte.
std::size_t illFormedAt(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  auto lead = static_cast<unsigned char>(text[at]);
  std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
  while (end < text.size() && end < at + expected && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end - at;
}

}  // namespace

bool isUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = characterAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

void appendJsonString(std::string& json, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  json += '"';
  // Most texts need nothing escaped: those go in whole.
  bool plain = true;
  for (char c : text) plain &= static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\';
  if (plain && isUtf8(text)) {
    json += text;
    json += '"';
    return;
  }
  for (std::size_t at = 0; at < text.size();) {
    char c = text[at];
    if (static_cast<unsigned char>(c) >= 0x80) {
      std::size_t length = characterAt(text, at);
      if (length == 0) {
        json += "\xEF\xBF\xBD";  // U+FFFD
        at += illFormedAt(text, at);
      } else {
        json.append(text, at, length);
        at += length;
      }
      continue;
    }
    ++at;
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          json += "\\u00";
          json += kHex[c >> 4];
          json += kHex[c & 15];
        } else {
          json += c;
        }
    }
  }
  json += '"';
}

void appendJsonNumber(std::string& json, std::uint64_t number) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
  json.append(digits, end);
}

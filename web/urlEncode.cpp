#include "web/urlEncode.h"

#include "text/gbkToUtf8.h"

namespace {

// "/" (0x2F) sits between "." and "0" but is always encoded.
bool isSafe(unsigned char b) {
  return (b >= 0x2D && b <= 0x39 && b != 0x2F) || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

}  // namespace

Text urlEncode(std::string_view text, bool keepSafe, bool asUtf8) {
  if (text.empty()) return Text();
  Text utf8;
  if (asUtf8) {
    utf8 = gbkToUtf8(text);
    text = utf8;
  }
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  Text result;
  result.reserve(text.size() * 3);
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (keepSafe && isSafe(b)) {
      result.push_back(c);
    } else {
      result.push_back('%');
      result.push_back(kHexDigits[b >> 4]);
      result.push_back(kHexDigits[b & 0x0F]);
    }
  }
  return result;
}

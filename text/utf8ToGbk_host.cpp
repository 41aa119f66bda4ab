#include "text/utf8ToGbk.h"

Utf8ToGbk::Utf8ToGbk() : converter_(iconv_open("GBK", "UTF-8")) {}

Utf8ToGbk::~Utf8ToGbk() {
  if (valid()) iconv_close(converter_);
}

std::optional<Text> Utf8ToGbk::convert(std::string_view text) {
  if (!valid()) return std::nullopt;
  iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  // GBK never needs more bytes than UTF-8 for the same characters.
  Text result(text.size(), '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* out = result.data();
  std::size_t outLeft = result.size();
  if (iconv(converter_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
  result.resize(result.size() - outLeft);
  return result;
}

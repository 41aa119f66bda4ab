#include <vector>

#include "text/gbkToUtf8.h"
#include "win32/declared.h"

namespace {

constexpr UINT kCodePageGbk = 936;

}  // namespace

Text gbkToUtf8(std::string_view text) {
  // The conversions read up to the terminating zero (length -1), so it needs one.
  const Text source(text);
  int units = dll::MultiByteToWideChar(kCodePageGbk, 0, source.c_str(), -1, nullptr, 0);
  if (units <= 0) return Text();
  std::vector<wchar_t> wide(static_cast<std::size_t>(units), L'\0');
  dll::MultiByteToWideChar(kCodePageGbk, 0, source.c_str(), -1, wide.data(), units);

  int bytes = dll::WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return Text();
  std::vector<char> utf8(2 * static_cast<std::size_t>(bytes), '\0');
  dll::WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return Text(utf8.data());
}

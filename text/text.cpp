#include "text/text.h"

#include <algorithm>
#include <cstddef>

#include "text/gbkBytes.h"
#include "text/search.h"

namespace gbk {
namespace {

using namespace gbk::bytes;

constexpr Byte kSpace = 0x20;
constexpr Byte kFullWidthSpaceByte = 0xA1;  // the full-width space is this byte twice

// Length of the blank starting at i (a character start), 0 when the character there is no blank.
std::size_t blankLength(const Byte* p, std::size_t n, std::size_t i) {
  if (p[i] == kSpace) return 1;
  if (p[i] == kFullWidthSpaceByte && i + 1 < n && p[i + 1] == kFullWidthSpaceByte) return 2;
  return 0;
}

std::size_t startOffset(int start) {
  return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

}  // namespace

int find(std::string_view text, std::string_view search, int start, bool ignoreCase) {
  std::size_t from = startOffset(start);
  if (from >= text.size()) return -1;
  if (search.empty()) return 1;
  std::ptrdiff_t q = search::locate(text, search, from, ignoreCase);
  return q < 0 ? -1 : static_cast<int>(q) + 1;
}

int findLast(std::string_view text, std::string_view search) {
  if (text.empty()) return -1;
  if (search.empty()) return 1;
  if (search.size() > text.size()) return -1;
  std::ptrdiff_t q = search::locateLast(text, search);
  return q < 0 ? -1 : static_cast<int>(q) + 1;
}

int length(std::string_view text) {
  return static_cast<int>(text.size());
}

Text left(std::string_view text, int n) {
  if (n <= 0) return Text();
  return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text right(std::string_view text, int n) {
  if (n <= 0) return Text();
  std::size_t count = std::min(static_cast<std::size_t>(n), text.size());
  return Text(text.substr(text.size() - count));
}

Text mid(std::string_view text, int start, int n) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) return Text();
  return Text(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

Text trim(std::string_view text) {
  const Byte* p = bytesOf(text);
  std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    std::size_t blank = blankLength(p, n, i);
    if (blank == 0) break;
    i += blank;
  }
  std::size_t begin = i;
  std::size_t end = i;
  // A full-width space at the end is only one when it is a whole character, so walk forward.
  while (i < n) {
    std::size_t len = blankLength(p, n, i);
    if (len == 0) {
      len = std::min(characterLength(p[i]), n - i);
      end = i + len;
    }
    i += len;
  }
  return Text(text.substr(begin, end - begin));
}

Text removeBlanks(std::string_view text) {
  const Byte* p = bytesOf(text);
  std::size_t n = text.size();
  Text result;
  result.reserve(n);
  for (std::size_t i = 0; i < n;) {
    std::size_t len = blankLength(p, n, i);
    if (len == 0) {
      len = std::min(characterLength(p[i]), n - i);
      result.append(text.substr(i, len));
    }
    i += len;
  }
  return result;
}

Text lowercase(std::string_view text) {
  Text result(text);
  for (std::size_t i = 0; i < result.size();) {
    Byte b = static_cast<Byte>(result[i]);
    if (!isHigh(b)) result[i] = static_cast<char>(foldLetter(b));
    i += characterLength(b);
  }
  return result;
}

Text replace(std::string_view text, std::string_view search, std::string_view replacement, int start, int count,
             bool matchCase) {
  std::size_t from = startOffset(start);
  if (search.empty() || count == 0 || from >= text.size()) return Text(text);
  Text result(text.substr(0, from));
  std::size_t pos = from;
  for (int done = 0; count < 0 || done < count; ++done) {
    std::ptrdiff_t q = pos < text.size() ? search::locate(text, search, pos, !matchCase) : -1;
    if (q < 0) break;
    std::size_t at = static_cast<std::size_t>(q);
    result.append(text.substr(pos, at - pos));
    result.append(replacement);
    pos = at + search.size();
  }
  result.append(text.substr(pos));
  return result;
}

Array<Text> split(std::string_view text, std::string_view separator, int maxCount) {
  Array<Text> pieces;
  if (text.empty() || maxCount == 0 || maxCount < -1) return pieces;
  if (separator.empty()) {
    pieces.append(Text(text));
    return pieces;
  }
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::ptrdiff_t q = search::locate(text, separator, pos, false);
    if (q < 0) break;
    std::size_t at = static_cast<std::size_t>(q);
    pieces.append(Text(text.substr(pos, at - pos)));
    pos = at + separator.size();
    if (pieces.count() == maxCount) return pieces;
  }
  if (pos < text.size()) pieces.append(Text(text.substr(pos)));
  return pieces;
}

Text blankText(int n) {
  return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

}  // namespace gbk

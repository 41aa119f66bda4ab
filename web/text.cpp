#include "web/text.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

// glibc's memmem is a vectorised two-way search; elsewhere (mingw) candidates come from memchr.
#if defined(__GLIBC__) && !defined(QV_TEXT_PORTABLE_SEARCH)
#define QV_TEXT_USE_MEMMEM 1
#endif

namespace gbk {
namespace {

using Byte = unsigned char;

constexpr Byte kSpace = 0x20;
constexpr Byte kFullWidthSpaceByte = 0xA1;  // the full-width space is this byte twice

const Byte* bytesOf(std::string_view text) {
  return reinterpret_cast<const Byte*>(text.data());
}

bool isHigh(Byte b) {
  return b >= 0x80;
}
std::size_t characterLength(Byte lead) {
  return isHigh(lead) ? 2 : 1;
}
Byte foldLetter(Byte b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + ('a' - 'A')) : b;
}

// Length of the blank starting at i (a character start), 0 when the character there is no blank.
std::size_t blankLength(const Byte* p, std::size_t n, std::size_t i) {
  if (p[i] == kSpace) return 1;
  if (p[i] == kFullWidthSpaceByte && i + 1 < n && p[i + 1] == kFullWidthSpaceByte) return 2;
  return 0;
}

// Whether `pos` starts a character, given that `known` (<= pos) does. The byte after one below
// 0x80 always starts a character (that byte ended a one-byte character or a pair), so only the
// run of high bytes right before `pos` decides: an even run is made of whole pairs.
bool startsCharacter(const Byte* p, std::size_t known, std::size_t pos) {
  std::size_t k = pos;
  while (k > known && isHigh(p[k - 1])) --k;
  return ((pos - k) & 1) == 0;
}

// Knuth-Morris-Pratt over the bytes as compared: when ignoring case, a byte that is a one-byte
// character (in the needle's own reading, or in the text's reading from `from`) is folded; the
// bytes of pairs never are. Matching from a character start lines both readings up, so equal
// compared bytes there mean an equal match. Linear in the text whatever the needle; small
// needles keep their tables on the stack.
class LinearSearch {
 public:
  LinearSearch(const Byte* needle, std::size_t m, bool ignoreCase) : m_(m), ignoreCase_(ignoreCase) {
    if (m > kInline) {
      heapNeedle_.resize(m);
      heapBorder_.resize(m);
      needle_ = heapNeedle_.data();
      border_ = heapBorder_.data();
    }
    for (std::size_t i = 0; i < m;) {
      std::size_t len = characterLength(needle[i]);
      if (len == 1) {
        needle_[i] = ignoreCase ? foldLetter(needle[i]) : needle[i];
      } else {
        needle_[i] = needle[i];
        if (i + 1 < m) needle_[i + 1] = needle[i + 1];
      }
      i += len;
    }
    border_[0] = 0;
    for (std::size_t i = 1, k = 0; i < m; ++i) {
      while (k > 0 && needle_[i] != needle_[k]) k = border_[k - 1];
      if (needle_[i] == needle_[k]) ++k;
      border_[i] = k;
    }
  }

  LinearSearch(const LinearSearch&) = delete;
  LinearSearch& operator=(const LinearSearch&) = delete;

  // First (or, with `last`, last) match at a character start at or after `from`, else -1.
  std::ptrdiff_t run(const Byte* p, std::size_t n, std::size_t from, bool last) const {
    std::ptrdiff_t found = -1;
    std::size_t known = from;          // a character start at or before every candidate still to check
    std::size_t nextCharacter = from;  // the next character start the walk reaches
    std::size_t matched = 0;
    for (std::size_t i = from; i < n; ++i) {
      Byte b = p[i];
      if (i == nextCharacter) {
        nextCharacter += characterLength(b);
        if (ignoreCase_ && !isHigh(b)) b = foldLetter(b);
      }
      while (matched > 0 && b != needle_[matched]) matched = border_[matched - 1];
      if (b == needle_[matched]) ++matched;
      if (matched == m_) {
        std::size_t q = i + 1 - m_;
        bool onBoundary = startsCharacter(p, known, q);
        known = onBoundary ? q : q + 1;
        if (onBoundary) {
          if (!last) return static_cast<std::ptrdiff_t>(q);
          found = static_cast<std::ptrdiff_t>(q);
        }
        matched = border_[matched - 1];
      }
    }
    return found;
  }

 private:
  static constexpr std::size_t kInline = 128;
  std::size_t m_;
  bool ignoreCase_;
  Byte inlineNeedle_[kInline];
  std::size_t inlineBorder_[kInline];
  std::vector<Byte> heapNeedle_;
  std::vector<std::size_t> heapBorder_;
  Byte* needle_ = inlineNeedle_;
  std::size_t* border_ = inlineBorder_;
};

// Exact search: jump to byte matches with memmem (or memchr), then keep only those that start a
// character. A run of candidates on second bytes (or of failed verifications) could make that
// quadratic, so past a budget proportional to the text the rest goes to the linear search.
std::ptrdiff_t searchExact(const Byte* p, std::size_t n, const Byte* s, std::size_t m, std::size_t from) {
  constexpr std::size_t kCallCost = 64;
  const std::size_t budget = 2 * (n - from) + 4 * kCallCost;
  std::size_t spent = 0;
  std::size_t known = from;
  std::size_t pos = from;
  while (n - pos >= m) {
#ifdef QV_TEXT_USE_MEMMEM
    const void* hit = m == 1 ? std::memchr(p + pos, s[0], n - pos) : memmem(p + pos, n - pos, s, m);
    if (!hit) return -1;
    std::size_t q = static_cast<std::size_t>(static_cast<const Byte*>(hit) - p);
#else
    const void* hit = std::memchr(p + pos, s[0], n - pos - m + 1);
    if (!hit) return -1;
    std::size_t q = static_cast<std::size_t>(static_cast<const Byte*>(hit) - p);
    if (m > 1 && std::memcmp(p + q + 1, s + 1, m - 1) != 0) {
      pos = q + 1;
      spent += m;
      if (spent > budget) return LinearSearch(s, m, false).run(p, n, known, false);
      continue;
    }
#endif
    if (startsCharacter(p, known, q)) return static_cast<std::ptrdiff_t>(q);
    // q is the second byte of a pair, so a character starts right after it.
    known = pos = q + 1;
    spent += m + kCallCost;
    if (spent > budget) return LinearSearch(s, m, false).run(p, n, known, false);
  }
  return -1;
}

bool hasOneByteLetter(const Byte* s, std::size_t m) {
  for (std::size_t i = 0; i < m; i += characterLength(s[i])) {
    Byte folded = foldLetter(s[i]);
    if (folded >= 'a' && folded <= 'z') return true;
  }
  return false;
}

// 0-based offset of the first match at a character start counted from `from`, or -1.
// The search is not empty and `from` lies within the text.
std::ptrdiff_t locate(std::string_view text, std::string_view search, std::size_t from, bool ignoreCase) {
  const Byte* p = bytesOf(text);
  const Byte* s = bytesOf(search);
  if (text.size() - from < search.size()) return -1;
  if (ignoreCase && hasOneByteLetter(s, search.size())) {
    return LinearSearch(s, search.size(), true).run(p, text.size(), from, false);
  }
  return searchExact(p, text.size(), s, search.size(), from);
}

std::size_t startOffset(int start) {
  return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

}  // namespace

int find(std::string_view text, std::string_view search, int start, bool ignoreCase) {
  std::size_t from = startOffset(start);
  if (from >= text.size()) return -1;
  if (search.empty()) return 1;
  std::ptrdiff_t q = locate(text, search, from, ignoreCase);
  return q < 0 ? -1 : static_cast<int>(q) + 1;
}

int findLast(std::string_view text, std::string_view search) {
  if (text.empty()) return -1;
  if (search.empty()) return 1;
  if (search.size() > text.size()) return -1;
  std::ptrdiff_t q = LinearSearch(bytesOf(search), search.size(), false).run(bytesOf(text), text.size(), 0, true);
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
    std::ptrdiff_t q = pos < text.size() ? locate(text, search, pos, !matchCase) : -1;
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
    std::ptrdiff_t q = locate(text, separator, pos, false);
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

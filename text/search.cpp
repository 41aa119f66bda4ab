#include "text/search.h"

#include <cstring>
#include <vector>

#include "text/gbkBytes.h"

// glibc's memmem is a vectorised two-way search; elsewhere (mingw) candidates come from memchr.
#if defined(__GLIBC__) && !defined(QV_TEXT_PORTABLE_SEARCH)
#define QV_TEXT_USE_MEMMEM 1
#endif

namespace gbk::search {
namespace {

using namespace gbk::bytes;

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

}  // namespace

std::ptrdiff_t locate(std::string_view text, std::string_view search, std::size_t from, bool ignoreCase) {
  const Byte* p = bytesOf(text);
  const Byte* s = bytesOf(search);
  if (text.size() - from < search.size()) return -1;
  if (ignoreCase && hasOneByteLetter(s, search.size())) {
    return LinearSearch(s, search.size(), true).run(p, text.size(), from, false);
  }
  return searchExact(p, text.size(), s, search.size(), from);
}

std::ptrdiff_t locateLast(std::string_view text, std::string_view search) {
  return LinearSearch(bytesOf(search), search.size(), false).run(bytesOf(text), text.size(), 0, true);
}

}  // namespace gbk::search

#pragma once
// Searching GBK texts on character boundaries: exact matches at memmem speed, letter case folded
// on one-byte characters only, and a linear-time fallback whatever the text and needle.
#include <cstddef>
#include <string_view>

namespace gbk::search {

// 0-based offset of the first match at a character start counted from `from`, or -1.
// The search is not empty and `from` lies within the text.
std::ptrdiff_t locate(std::string_view text, std::string_view search, std::size_t from, bool ignoreCase);

// 0-based offset of the last exact match on a character boundary counted from the beginning, or -1.
// The search is not empty.
std::ptrdiff_t locateLast(std::string_view text, std::string_view search);

}  // namespace gbk::search

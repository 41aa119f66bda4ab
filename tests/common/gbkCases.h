#pragma once
// GBK inputs and the UTF-8 that Windows code page 936 turns them into. The host test and the
// Windows test run gbkToUtf8 over the same table, so the two conversions are shown to agree.
// Narrow literals are GBK at run time; u8 literals stay UTF-8. Escaped bytes mark the codes
// whose mapping differs between the GB2312/GBK/GB18030 tables.
#include <cstdint>
#include <string_view>

struct GbkCase {
  std::string_view gbk;
  std::u8string_view utf8;
  const char* what;
};

using namespace std::string_view_literals;

inline constexpr GbkCase kGbkCases[] = {
    {"", u8"", "empty text"},
    {"mo.php?sxb=&tqsl=20", u8"mo.php?sxb=&tqsl=20", "ASCII"},
    {"提  取", u8"提  取", "the submit value"},
    {"电信", u8"电信", "a carrier"},
    {"全部运营商", u8"全部运营商", "the all-carriers item"},
    {"提取IP长期免费。", u8"提取IP长期免费。", "mixed text with a full stop"},
    {"\x80", u8"\u20AC", "0x80 alone is the euro sign in code page 936"},
    {"\xA1\xA1", u8"\u3000", "full-width space"},
    {"\xA1\xA4", u8"\u00B7", "middle dot"},
    {"\xA1\xAA", u8"\u2014", "em dash"},
    {"\xA1\xAB", u8"\uFF5E", "full-width tilde"},
    {"\xA1\xAD", u8"\u2026", "ellipsis"},
    {"\xA8\x44", u8"\u2015", "horizontal bar"},
    {"\xA3\xB1\xA3\xB2", u8"１２", "full-width digits"},
    {"\x81\x40", u8"\u4E02", "first code of the GBK extension"},
    {"\xB0\x41", u8"癆", "second byte in the ASCII letter range"},
    {"\xAA\xA1", u8"\uE000", "first user-defined code"},
    {"\xFE\xFE", u8"\uE4C5", "last user-defined code"},
    {"\xA2\xE3", u8"\uE76C", "unassigned GBK code (the euro sign in GB18030)"},
    {"\xFF", u8"\uF8F5", "0xFF alone"},
    {"\xB0\x30x", u8"?x", "lead byte with an invalid second byte"},
    {"a\xB0", u8"a?", "lead byte at the end"},
    {"a\0b"sv, u8"a", "stops at the first zero byte"},
};

// FNV-1a over the conversions of every one-byte input 01..FF and every two-byte input whose first
// byte is 80..FF (second byte 01..FF), each result followed by a zero byte. The constant was taken
// from code page 936 under Wine and matches the host conversion on all 32 895 inputs.
template <typename Convert>
std::uint64_t codePageDigest(Convert convert) {
  std::uint64_t hash = 14695981039346656037ull;
  auto add = [&hash](unsigned char b) {
    hash ^= b;
    hash *= 1099511628211ull;
  };
  auto addConversion = [&](std::string_view input) {
    for (char c : convert(input)) add(static_cast<unsigned char>(c));
    add(0);
  };
  for (int a = 0x01; a <= 0xFF; ++a) {
    const char single[] = {static_cast<char>(a)};
    addConversion(std::string_view(single, 1));
  }
  for (int a = 0x80; a <= 0xFF; ++a) {
    for (int b = 0x01; b <= 0xFF; ++b) {
      const char pair[] = {static_cast<char>(a), static_cast<char>(b)};
      addConversion(std::string_view(pair, 2));
    }
  }
  return hash;
}

inline constexpr std::uint64_t kCodePageDigest = 0xEEB6A743B54509C3ull;

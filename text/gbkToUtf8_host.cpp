// The host's code page 936: glibc's CP936 for the assigned characters, completed the way Windows
// completes it, so the same inputs give the same UTF-8 on both.
#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "text/gbkToUtf8.h"

namespace {

// Two-byte codes glibc leaves out but Windows maps into the private use area: the user-defined
// rows and the codes GBK had not assigned. Runs of consecutive codes onto consecutive units.
struct PrivateRun {
  std::uint16_t first;
  std::uint16_t last;
  std::uint16_t firstUnit;
};
constexpr PrivateRun kPrivateRuns[] = {
    {0xA140, 0xA17E, 0xE4C6}, {0xA180, 0xA1A0, 0xE505}, {0xA240, 0xA27E, 0xE526}, {0xA280, 0xA2A0, 0xE565},
    {0xA2AB, 0xA2B0, 0xE766}, {0xA2E3, 0xA2E4, 0xE76C}, {0xA2EF, 0xA2F0, 0xE76E}, {0xA2FD, 0xA2FE, 0xE770},
    {0xA340, 0xA37E, 0xE586}, {0xA380, 0xA3A0, 0xE5C5}, {0xA440, 0xA47E, 0xE5E6}, {0xA480, 0xA4A0, 0xE625},
    {0xA4F4, 0xA4FE, 0xE772}, {0xA540, 0xA57E, 0xE646}, {0xA580, 0xA5A0, 0xE685}, {0xA5F7, 0xA5FE, 0xE77D},
    {0xA640, 0xA67E, 0xE6A6}, {0xA680, 0xA6A0, 0xE6E5}, {0xA6B9, 0xA6C0, 0xE785}, {0xA6D9, 0xA6DF, 0xE78D},
    {0xA6EC, 0xA6ED, 0xE794}, {0xA6F3, 0xA6F3, 0xE796}, {0xA6F6, 0xA6FE, 0xE797}, {0xA740, 0xA77E, 0xE706},
    {0xA780, 0xA7A0, 0xE745}, {0xA7C2, 0xA7D0, 0xE7A0}, {0xA7F2, 0xA7FE, 0xE7AF}, {0xA896, 0xA8A0, 0xE7BC},
    {0xA8BC, 0xA8BC, 0xE7C7}, {0xA8BF, 0xA8BF, 0xE7C8}, {0xA8C1, 0xA8C4, 0xE7C9}, {0xA8EA, 0xA8FE, 0xE7CD},
    {0xA958, 0xA958, 0xE7E2}, {0xA95B, 0xA95B, 0xE7E3}, {0xA95D, 0xA95F, 0xE7E4}, {0xA989, 0xA995, 0xE7E7},
    {0xA997, 0xA9A3, 0xE7F4}, {0xA9F0, 0xA9FE, 0xE801}, {0xAAA1, 0xAAFE, 0xE000}, {0xABA1, 0xABFE, 0xE05E},
    {0xACA1, 0xACFE, 0xE0BC}, {0xADA1, 0xADFE, 0xE11A}, {0xAEA1, 0xAEFE, 0xE178}, {0xAFA1, 0xAFFE, 0xE1D6},
    {0xD7FA, 0xD7FE, 0xE810}, {0xF8A1, 0xF8FE, 0xE234}, {0xF9A1, 0xF9FE, 0xE292}, {0xFAA1, 0xFAFE, 0xE2F0},
    {0xFBA1, 0xFBFE, 0xE34E}, {0xFCA1, 0xFCFE, 0xE3AC}, {0xFDA1, 0xFDFE, 0xE40A}, {0xFE50, 0xFE7E, 0xE815},
    {0xFE80, 0xFEA0, 0xE844}, {0xFEA1, 0xFEFE, 0xE468},
};

// Windows gives the single byte 0xFF this private-use unit.
constexpr std::uint16_t kUnitOfFF = 0xF8F5;

void appendUtf8(Text& out, std::uint32_t unit) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
    out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

// What Windows makes of the sequence glibc refused at `p`; returns the bytes it takes. A lead byte
// takes the next byte with it whatever that is, and an unknown pair or a lead byte at the end
// becomes '?'.
std::size_t appendRefused(Text& out, const unsigned char* p, std::size_t left) {
  if (p[0] == 0xFF) {
    appendUtf8(out, kUnitOfFF);
    return 1;
  }
  if (left < 2) {
    out.push_back('?');
    return 1;
  }
  auto code = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
  for (const PrivateRun& run : kPrivateRuns) {
    if (code >= run.first && code <= run.last) {
      appendUtf8(out, run.firstUnit + (code - run.first));
      return 2;
    }
  }
  out.push_back('?');
  return 2;
}

}  // namespace

Text gbkToUtf8(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  Text result;
  if (text.empty()) return result;
  iconv_t converter = iconv_open("UTF-8", "CP936");
  if (converter == reinterpret_cast<iconv_t>(-1)) return result;

  // Three UTF-8 bytes at most for each GBK byte (0x80 alone is the euro sign).
  Text chunk(3 * text.size(), '\0');
  auto* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* out = chunk.data();
    std::size_t outLeft = chunk.size();
    std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    result.append(chunk.data(), static_cast<std::size_t>(out - chunk.data()));
    if (done != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    std::size_t taken = appendRefused(result, reinterpret_cast<const unsigned char*>(in), inLeft);
    in += taken;
    inLeft -= taken;
  }
  iconv_close(converter);
  return result;
}

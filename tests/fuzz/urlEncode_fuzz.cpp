// urlEncode: ASCII out, and decoding the escapes gives back the bytes (or their UTF-8 form).
#include <fuzzer/FuzzedDataProvider.h>

#include "tests/fuzz/walk.h"
#include "text/gbkToUtf8.h"
#include "web/urlEncode.h"

namespace {

std::string decode(const std::string& encoded) {
  auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  std::string out;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      out += encoded[i];
      continue;
    }
    out += static_cast<char>(digit(encoded[i + 1]) * 16 + digit(encoded[i + 2]));
    i += 2;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool keepSafe = in.ConsumeBool();
  const bool asUtf8 = in.ConsumeBool();
  const std::string text = in.ConsumeRemainingBytesAsString();

  const Text encoded = urlEncode(text, keepSafe, asUtf8);
  auto isSafe = [](char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  auto isHexDigit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%') {
      FUZZ_CHECK(i + 2 < encoded.size() && isHexDigit(encoded[i + 1]) && isHexDigit(encoded[i + 2]));
      i += 2;
    } else {
      FUZZ_CHECK(keepSafe && isSafe(encoded[i]));
    }
  }
  const std::string bytes = asUtf8 ? gbkToUtf8(text) : text;
  if (!keepSafe) FUZZ_CHECK(encoded.size() == 3 * bytes.size());
  FUZZ_CHECK(decode(encoded) == bytes);
  return 0;
}

// textBetween against its steps done with the character walk; the result lies right after the
// start marker and right before the end marker.
#include <fuzzer/FuzzedDataProvider.h>

#include "tests/fuzz/walk.h"
#include "text/text.h"
#include "text/textBetween.h"

namespace {

// "#引号" in GBK, written as bytes because this build compiles literals as UTF-8.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";

std::string expand(std::string marker) {
  // Let short inputs reach the quote word: '~' stands for it.
  std::string out;
  for (char c : marker) {
    if (c == '~') {
      out += kQuoteWord;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool ignoreCase = in.ConsumeBool();
  const int startPos = in.ConsumeIntegralInRange<int>(-2, 40);
  const std::string startMarker = expand(in.ConsumeRandomLengthString(10));
  const std::string endMarker = expand(in.ConsumeRandomLengthString(10));
  const std::string text = expand(in.ConsumeRemainingBytesAsString());

  const Text result = textBetween(text, startMarker, endMarker, startPos, ignoreCase);

  const std::string start = walk::replaceExact(startMarker, kQuoteWord, "\"");
  const std::string end = walk::replaceExact(endMarker, kQuoteWord, "\"");
  std::string expected;
  int g = walk::find(text, start, startPos, ignoreCase);
  if (g != -1) {
    g += static_cast<int>(start.size());
    int r = walk::find(text, end, g, ignoreCase);
    if (r != -1 && r > g) {
      expected = text.substr(g - 1, r - g);
      const std::size_t origin = startPos < 1 ? 0 : static_cast<std::size_t>(startPos) - 1;
      if (!start.empty()) FUZZ_CHECK(walk::startsCharacter(text, origin, g - 1 - start.size()));
      FUZZ_CHECK(walk::startsCharacter(text, g - 1, r - 1));
      FUZZ_CHECK(walk::matchesAt(text, r - 1, end, ignoreCase));
    }
  }
  FUZZ_CHECK(result == expected);
  return 0;
}

// split against the character walk, and the pieces joined back give the text.
#include <fuzzer/FuzzedDataProvider.h>

#include "tests/fuzz/walk.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int maxCount = in.ConsumeIntegralInRange<int>(-2, 40);
  const std::string separator = in.ConsumeRandomLengthString(6);
  const std::string unit = in.ConsumeRandomLengthString(8);
  const int repeats = in.ConsumeIntegralInRange<int>(0, 2000);
  std::string text;
  for (int i = 0; i < repeats; ++i) text += unit;
  text += in.ConsumeRemainingBytesAsString();

  const Array<Text> pieces = gbk::split(text, separator, maxCount);

  // The walk: a piece at each separator found from the current position, then the rest.
  std::vector<std::string> expected;
  if (!text.empty() && (maxCount > 0 || maxCount == -1)) {
    if (separator.empty()) {
      expected.push_back(text);
    } else {
      std::size_t pos = 0;
      bool full = false;
      while (pos < text.size()) {
        int p = walk::find(text, separator, static_cast<int>(pos) + 1);
        if (p == -1) break;
        expected.push_back(text.substr(pos, p - 1 - pos));
        pos = p - 1 + separator.size();
        if (static_cast<int>(expected.size()) == maxCount) {
          full = true;
          break;
        }
      }
      if (!full && pos < text.size()) expected.push_back(text.substr(pos));
    }
  }
  FUZZ_CHECK(pieces.count() == static_cast<int>(expected.size()));
  for (int i = 1; i <= pieces.count(); ++i) FUZZ_CHECK(pieces[i] == expected[i - 1]);

  if (maxCount == -1 && !separator.empty() && !text.empty()) {
    std::string joined;
    for (int i = 1; i <= pieces.count(); ++i) {
      if (i > 1) joined += separator;
      joined += pieces[i];
    }
    // Only a separator right at the end leaves no piece behind it.
    FUZZ_CHECK(joined == text || joined + separator == text);
    // No piece holds the separator where the walk would have cut.
    for (const Text& piece : pieces) FUZZ_CHECK(gbk::find(piece, separator) == -1);
  }
  return 0;
}

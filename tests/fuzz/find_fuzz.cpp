// find and findLast against the plain character walk, on texts that may repeat a unit many times
// (long runs of candidates on second bytes take the search's fallback path).
#include <fuzzer/FuzzedDataProvider.h>

#include "tests/fuzz/walk.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool ignoreCase = in.ConsumeBool();
  const int start = in.ConsumeIntegralInRange<int>(-2, 40);
  const std::string search = in.ConsumeRandomLengthString(12);
  const std::string unit = in.ConsumeRandomLengthString(6);
  const int repeats = in.ConsumeIntegralInRange<int>(0, 3000);
  std::string text;
  for (int i = 0; i < repeats; ++i) text += unit;
  text += in.ConsumeRemainingBytesAsString();

  const int found = gbk::find(text, search, start, ignoreCase);
  FUZZ_CHECK(found == walk::find(text, search, start, ignoreCase));
  if (found != -1 && !search.empty()) {
    const std::size_t origin = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    FUZZ_CHECK(walk::startsCharacter(text, origin, static_cast<std::size_t>(found) - 1));
    FUZZ_CHECK(static_cast<std::size_t>(found) - 1 + search.size() <= text.size());
  }

  const int last = gbk::findLast(text, search);
  FUZZ_CHECK(last == walk::findLast(text, search));
  if (last != -1) FUZZ_CHECK(walk::startsCharacter(text, 0, static_cast<std::size_t>(last) - 1));
  return 0;
}

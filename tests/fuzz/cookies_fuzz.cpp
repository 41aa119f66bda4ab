// mergeCookies: the result is stored and returned, blanks are gone from both inputs, and on
// one-byte texts it equals a model written with plain string operations.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "tests/fuzz/walk.h"
#include "text/text.h"
#include "web/cookies.h"

namespace {

std::vector<std::string> cut(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  std::size_t pos = 0;
  for (std::size_t at; (at = text.find(separator, pos)) != std::string::npos; pos = at + separator.size()) {
    pieces.push_back(text.substr(pos, at - pos));
  }
  if (pos < text.size()) pieces.push_back(text.substr(pos));
  return pieces;
}

std::string nameOf(const std::string& item) {
  return item.substr(0, item.find('='));
}

std::string model(std::string cookies, std::string newCookies) {
  std::erase(cookies, ' ');
  std::erase(newCookies, ' ');
  std::vector<std::string> items = cut(newCookies, ";");
  std::vector<std::string> newNames;
  for (const std::string& item : items) newNames.push_back(nameOf(item));
  for (const std::string& item : cut(cookies, ";")) {
    bool taken = std::find(newNames.begin(), newNames.end(), nameOf(item)) != newNames.end();
    if (!taken) {
      items.push_back(item);
      newNames.push_back(nameOf(item));
    }
  }
  std::string joined;
  for (const std::string& item : items) {
    bool deleted = item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0;
    if (!deleted) joined += item + "; ";
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);
  std::vector<std::string> seen;
  std::string result;
  for (const std::string& piece : cut(joined, "; ")) {
    if (std::find(seen.begin(), seen.end(), piece) != seen.end()) continue;
    seen.push_back(piece);
    result += piece + "; ";
  }
  if (result.size() >= 2) result.resize(result.size() - 2);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string oldCookies = in.ConsumeRandomLengthString(200);
  const std::string setCookies = in.ConsumeRemainingBytesAsString();

  Text cookies = oldCookies;
  Text newCookies = setCookies;
  const Text result = mergeCookies(cookies, newCookies);
  FUZZ_CHECK(result == cookies);
  FUZZ_CHECK(newCookies == gbk::removeBlanks(setCookies));

  auto oneByte = [](const std::string& s) { return std::none_of(s.begin(), s.end(), walk::isHigh); };
  if (oneByte(oldCookies) && oneByte(setCookies)) FUZZ_CHECK(result == model(oldCookies, setCookies));
  return 0;
}

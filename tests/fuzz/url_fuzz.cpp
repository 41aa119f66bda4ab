// URL parts and header values: whatever the address, the host is lowercase and (without port)
// has no ':', the path starts with '/' and is the address's own tail, values carry no outer blank.
#include <fuzzer/FuzzedDataProvider.h>

#include "tests/fuzz/walk.h"
#include "text/text.h"
#include "web/urlParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int scheme = in.ConsumeIntegralInRange<int>(0, 3);
  std::string url = in.ConsumeRemainingBytesAsString();
  if (scheme == 1) url.insert(0, "http://");
  if (scheme == 2) url.insert(0, "HTTPS://");

  const Text host = urlHost(url);
  const Text hostWithPort = urlHost(url, true);
  FUZZ_CHECK(gbk::lowercase(host) == host);
  FUZZ_CHECK(gbk::find(host, ":") == -1);
  FUZZ_CHECK(hostWithPort.compare(0, host.size(), host) == 0);

  const int port = urlPort(url);
  if (gbk::findLast(hostWithPort, ":") == -1) FUZZ_CHECK(port == 80 || port == 443);

  const Text path = urlPath(url);
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  FUZZ_CHECK(path == "/" ||
             (path.size() <= url.size() && url.compare(url.size() - path.size(), path.size(), path) == 0));

  const Text value = headerValue(url);
  FUZZ_CHECK(gbk::trim(value) == value);
  if (gbk::find(url, ":") == -1) FUZZ_CHECK(value.empty());
  if (!value.empty()) FUZZ_CHECK(url.find(value) != std::string::npos);
  return 0;
}

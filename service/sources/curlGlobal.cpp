#include "service/sources/curlGlobal.h"

#include <curl/curl.h>

#include <mutex>
#include <stdexcept>

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("curl_global_init failed");
  });
}

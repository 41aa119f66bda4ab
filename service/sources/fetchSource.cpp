#include "service/sources/fetchSource.h"

#include <curl/curl.h>

#include <memory>

#include "service/sources/curlGlobal.h"
#include "service/sources/localFile.h"

namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kTotalTimeoutSeconds = 120;
constexpr long kMaxRedirects = 5;
constexpr long kHttpOk = 200;

struct Download {
  std::string content;
  std::size_t maxBytes = 0;
  bool tooLarge = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
  auto* download = static_cast<Download*>(user);
  std::size_t bytes = size * count;
  if (download->content.size() + bytes > download->maxBytes) {
    download->tooLarge = true;
    return 0;  // ends the transfer
  }
  download->content.append(data, bytes);
  return bytes;
}

SourceContent fetch(const std::string& url, std::size_t maxBytes) {
  SourceContent result;
  initCurlOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    result.error = "cannot start a transfer";
    return result;
  }
  Download download;
  download.maxBytes = maxBytes;
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &download);
  CURLcode code = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (download.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    result.error = "larger than " + std::to_string(maxBytes) + " bytes";
  } else if (code != CURLE_OK) {
    result.error = curl_easy_strerror(code);
  } else if (status != kHttpOk) {
    result.error = "HTTP status " + std::to_string(status);
  } else {
    result.ok = true;
    result.content = std::move(download.content);
  }
  return result;
}

}  // namespace

bool isWebSource(std::string_view source) {
  return source.starts_with("http://") || source.starts_with("https://");
}

SourceContent readSource(const std::string& source, std::size_t maxBytes) {
  if (isWebSource(source)) return fetch(source, maxBytes);
  LocalFile file = readLocalFile(source, maxBytes);
  return {file.ok, std::move(file.content), std::move(file.error)};
}

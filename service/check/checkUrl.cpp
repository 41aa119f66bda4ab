#include "service/check/checkUrl.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <memory>

#include "service/check/checkAnswer.h"

namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextDeleter {
  void operator()(char* text) const { curl_free(text); }
};

// The part as libcurl reads it, or empty (with `present` false) when the URL has none.
std::string part(CURLU* url, CURLUPart which, bool& present) {
  char* raw = nullptr;
  present = curl_url_get(url, which, &raw, 0) == CURLUE_OK && raw;
  std::unique_ptr<char, TextDeleter> text(raw);
  return present ? std::string(text.get()) : std::string();
}

bool holdsToken(std::string_view query) {
  const std::string key = std::string(kCheckTokenKey) + "=";
  while (!query.empty()) {
    std::size_t end = query.find('&');
    if (query.substr(0, end).starts_with(key)) return true;
    query.remove_prefix(end == std::string_view::npos ? query.size() : end + 1);
  }
  return false;
}

}  // namespace

std::string checkUrlProblem(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return "not a URL";
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url) return "out of memory";
  // No CURLU_NON_SUPPORT_SCHEME: a scheme this libcurl cannot fetch is refused here already.
  if (CURLUcode code = curl_url_set(url.get(), CURLUPART_URL, std::string(text).c_str(), 0); code != CURLUE_OK) {
    return std::string("not a URL: ") + curl_url_strerror(code);
  }
  bool present = false;
  std::string scheme = part(url.get(), CURLUPART_SCHEME, present);
  if (scheme != "http" && scheme != "https") return "not http:// or https://";
  if (part(url.get(), CURLUPART_HOST, present).empty()) return "no host";
  if (part(url.get(), CURLUPART_PORT, present) == "0") return "port 0";
  part(url.get(), CURLUPART_USER, present);
  if (present) return "a user name has no place in it";
  part(url.get(), CURLUPART_PASSWORD, present);
  if (present) return "a password has no place in it";
  part(url.get(), CURLUPART_FRAGMENT, present);
  if (present || text.find('#') != std::string_view::npos) return "a fragment (#) has no place in it";
  if (holdsToken(part(url.get(), CURLUPART_QUERY, present))) {
    return std::string("the checker adds the ") + kCheckTokenKey + "= itself";
  }
  return {};
}

bool checkUrlNamesHost(std::string_view text) {
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, std::string(text).c_str(), 0) != CURLUE_OK) return false;
  bool present = false;
  std::string host = part(url.get(), CURLUPART_HOST, present);
  in_addr v4{};
  return !host.empty() && !host.starts_with('[') && inet_pton(AF_INET, host.c_str(), &v4) != 1;
}

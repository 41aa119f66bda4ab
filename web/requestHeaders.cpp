#include "web/requestHeaders.h"

#include "text/text.h"
#include "text/textBetween.h"
#include "web/urlParts.h"

namespace {
constexpr std::uint32_t kFlagReload = 0x80000000;
constexpr std::uint32_t kFlagNeedFile = 0x10;
constexpr std::uint32_t kFlagNoCookies = 0x80000;
constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000;
constexpr std::uint32_t kFlagSecure = 0x800000;
constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000;

bool hasName(const Text& headers, std::string_view name) {
  return gbk::find(headers, name) != -1;
}
}  // namespace

Text userAgentFor(std::string_view headers) {
  if (gbk::find(headers, "User-Agent:", 1, true) == -1) return kDefaultUserAgent;
  Text agent = gbk::trim(textBetween(headers, "User-Agent:", "\r\n"));
  // The line may be the last one, with no CR LF after it, or written in another letter case.
  if (agent.empty()) agent = headerValue(headers);
  return agent;
}

void appendDefaultHeaders(Text& headers, std::string_view url, std::string_view cookies) {
  if (!hasName(headers, "Referer:")) {
    headers += headers.empty() ? "Referer: " : "\r\nReferer: ";
    headers += url;
  }
  if (!hasName(headers, "Accept:")) headers += "\r\nAccept: */*";
  if (!hasName(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
  if (!hasName(headers, "Content-Type:")) headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookies.empty()) {
    headers += "\r\nCookie: ";
    headers += cookies;
  }
}

std::uint32_t requestFlags(std::string_view url, bool cookiesPresent, bool noRedirect) {
  std::uint32_t flags = kFlagReload | kFlagNeedFile;
  if (cookiesPresent) flags |= kFlagNoCookies;
  if (noRedirect) flags |= kFlagNoAutoRedirect;
  flags |= gbk::lowercase(gbk::left(url, 5)) == "https" ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  return flags;
}

ReplyHeaderScan scanReplyHeaders(std::string_view responseHeaders) {
  ReplyHeaderScan scan;
  Array<Text> lines = gbk::split(responseHeaders, "\r\n");
  for (int i = 1; i <= lines.count(); ++i) {
    const Text& line = lines[i];
    if (gbk::find(line, "Location:") != -1) scan.location = headerValue(line);
    if (gbk::find(line, "Set-Cookie") != -1) {
      scan.cookies += gbk::trim(textBetween(line, "Set-Cookie:", ";"));
      scan.cookies += "; ";
    }
  }
  if (!scan.cookies.empty()) scan.cookies.resize(scan.cookies.size() - 2);
  return scan;
}

#include "web/urlParts.h"

#include <climits>
#include <cstdint>

#include "text/text.h"
#include "text/textBetween.h"

namespace {

// Full-width digits are the GBK pairs A3 B0 to A3 B9.
constexpr unsigned char kFullWidthLead = 0xA3;
constexpr unsigned char kFullWidthZero = 0xB0;

Text withAsciiDigits(std::string_view text) {
  Text result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80 || i + 1 >= text.size()) {
      result.push_back(text[i]);
      i += b < 0x80 ? 1 : 2;
      continue;
    }
    auto trail = static_cast<unsigned char>(text[i + 1]);
    if (b == kFullWidthLead && trail >= kFullWidthZero && trail <= kFullWidthZero + 9) {
      result.push_back(static_cast<char>('0' + (trail - kFullWidthZero)));
    } else {
      result.append(text.substr(i, 2));
    }
    i += 2;
  }
  return result;
}

bool isCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decimal as the C library reads it: leading white space, a sign, digits up to the first other
// character; no digits give 0, and a value out of range stops at the int32 limit.
int readInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool isHttps(std::string_view url) {
  return gbk::lowercase(gbk::left(url, 5)) == "https";
}

}  // namespace

Text headerValue(std::string_view line) {
  int p = gbk::find(line, ":");
  if (p == -1) return Text();
  return gbk::trim(gbk::right(line, gbk::length(line) - p));
}

Text urlHost(std::string_view url, bool keepPort) {
  Text lower = gbk::lowercase(url);
  if (lower.empty() || lower.back() != '/') lower += '/';
  Text host;
  if (gbk::left(lower, 8) == "https://") {
    host = textBetween(lower, "https://", "/");
  } else {
    if (gbk::find(lower, "http://") == -1) lower.insert(0, "http://");
    host = textBetween(lower, "http://", "/");
  }
  if (!keepPort) {
    int colon = gbk::find(host, ":");
    if (colon != -1) host = gbk::left(host, colon - 1);
  }
  return host;
}

int urlPort(std::string_view url) {
  Text host = urlHost(url, true);
  int colon = gbk::findLast(host, ":");
  if (colon == -1) return isHttps(url) ? 443 : 80;
  return readInteger(withAsciiDigits(gbk::right(host, gbk::length(host) - colon)));
}

Text urlPath(std::string_view url) {
  // The host is looked for after a scheme written in front: a short host name ("h", "tp", "s")
  // also occurs inside "http://" or "https://", and its "//" would start the path.
  int from = 1;
  Text front = gbk::lowercase(gbk::left(url, 8));
  if (front == "https://") {
    from = 9;
  } else if (gbk::left(front, 7) == "http://") {
    from = 8;
  }
  Text host = urlHost(url);
  int h = host.empty() ? from : gbk::find(url, host, from, true);
  int slash = gbk::find(url, "/", h == -1 ? from : h, true);
  if (slash > 0) return gbk::right(url, gbk::length(url) - slash + 1);
  return "/";
}

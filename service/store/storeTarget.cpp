#include "service/store/storeTarget.h"

#include <vector>

#include "text/percentDecoded.h"

namespace {

constexpr std::string_view kMask = "***";

// Where the password sits in the URI: [begin, end) pairs, raw (still percent-encoded).
std::vector<std::pair<std::size_t, std::size_t>> secretSpans(std::string_view uri) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t scheme = uri.find("://");
  if (scheme == std::string_view::npos) return spans;
  std::size_t authority = scheme + 3;
  std::size_t authorityEnd = uri.find_first_of("/?", authority);
  if (authorityEnd == std::string_view::npos) authorityEnd = uri.size();
  // The last '@' ends the user part: a password may hold '@' unencoded.
  std::size_t at = uri.substr(0, authorityEnd).rfind('@');
  if (at != std::string_view::npos && at > authority) {
    std::size_t colon = uri.substr(0, at).find(':', authority);
    if (colon != std::string_view::npos) spans.emplace_back(colon + 1, at);
  }
  std::size_t query = uri.find('?');
  while (query != std::string_view::npos && query < uri.size()) {
    std::size_t begin = query + 1;
    std::size_t end = uri.find('&', begin);
    if (end == std::string_view::npos) end = uri.size();
    std::string_view pair = uri.substr(begin, end - begin);
    if (pair.starts_with("password=")) spans.emplace_back(begin + 9, end);
    query = end < uri.size() ? end : std::string_view::npos;
  }
  return spans;
}

void replaceAll(std::string& text, const std::string& secret) {
  if (secret.empty()) return;
  for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + kMask.size())) {
    text.replace(at, secret.size(), kMask);
  }
}

}  // namespace

bool isPostgresTarget(std::string_view target) {
  return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::string maskedTarget(std::string_view target) {
  if (!isPostgresTarget(target)) return std::string(target);
  std::string masked(target);
  std::vector<std::pair<std::size_t, std::size_t>> spans = secretSpans(target);
  for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
    masked.replace(span->first, span->second - span->first, kMask);
  }
  return masked;
}

std::string withoutSecret(std::string message, std::string_view target) {
  if (!isPostgresTarget(target)) return message;
  for (const auto& [begin, end] : secretSpans(target)) {
    std::string_view raw = target.substr(begin, end - begin);
    replaceAll(message, std::string(raw));
    replaceAll(message, percentDecoded(raw));
  }
  return message;
}

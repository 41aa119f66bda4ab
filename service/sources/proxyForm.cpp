#include "service/sources/proxyForm.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "text/percentDecoded.h"

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kMaxPortDigits = 5;
constexpr std::size_t kMaxSchemeLetters = 8;
// Nobody writes a longer user name or password into running text; the bound keeps a look back short.
constexpr std::size_t kMaxCredential = 256;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isAlnum(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// What ends a user name or password written inline: space, quotes, markup, and the separators of a list.
bool endsCredential(char c) {
  return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`' ||
         c == ',' || c == ';';
}

// "user:pass" before an "@", percent-decoded as in a URL.
void takeUserinfo(std::string_view userinfo, ProxyForm& form) {
  std::size_t colon = userinfo.find(':');
  form.username = percentDecoded(userinfo.substr(0, colon));
  form.password = colon == kNone ? std::string() : percentDecoded(userinfo.substr(colon + 1));
}

// The end of a dotted quad in shape at `at` (four runs of one to three digits joined by dots, not running
// on into a longer number or a fifth part), or kNone.
std::size_t quadEnd(std::string_view text, std::size_t at) {
  std::size_t pos = at;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return kNone;
      ++pos;
    }
    std::size_t digits = 0;
    while (pos < text.size() && digits < 3 && isDigit(text[pos])) ++pos, ++digits;
    if (digits == 0) return kNone;
  }
  if (pos < text.size() && isDigit(text[pos])) return kNone;
  if (pos + 1 < text.size() && text[pos] == '.' && isDigit(text[pos + 1])) return kNone;
  return pos;
}

// "user:pass@" just before `at`: its start, or `at` when there is none.
std::size_t userinfoBefore(std::string_view text, std::size_t at, ProxyForm& form) {
  if (at == 0 || text[at - 1] != '@') return at;
  std::size_t sign = at - 1;
  std::size_t limit = sign > kMaxCredential ? sign - kMaxCredential : 0;
  std::size_t begin = sign;
  while (begin > limit && !endsCredential(text[begin - 1]) && text[begin - 1] != '/') --begin;
  if (begin == sign) return at;
  takeUserinfo(text.substr(begin, sign - begin), form);
  return begin;
}

// The scheme of "scheme://" just before `at`: none when there is no "://", empty when it names a scheme
// this service does not use.
std::optional<std::optional<ProtocolBit>> schemeBefore(std::string_view text, std::size_t at) {
  if (at < 3 || text.substr(at - 3, 3) != "://") return std::nullopt;
  std::size_t end = at - 3;
  std::size_t limit = end > kMaxSchemeLetters ? end - kMaxSchemeLetters : 0;
  std::size_t begin = end;
  while (begin > limit && isAlnum(text[begin - 1])) --begin;
  if (begin > 0 && isAlnum(text[begin - 1])) return std::optional<ProtocolBit>();
  return schemeNamed(text.substr(begin, end - begin));
}

// ":user:pass" just after a port at `at`, raw as the address:port:user:pass form has it: its end, or `at`.
std::size_t credentialsAfter(std::string_view text, std::size_t at, ProxyForm& form) {
  if (at >= text.size() || text[at] != ':') return at;
  std::size_t userEnd = at + 1;
  while (userEnd < text.size() && userEnd - at <= kMaxCredential && !endsCredential(text[userEnd]) &&
         text[userEnd] != ':') {
    ++userEnd;
  }
  if (userEnd == at + 1 || userEnd >= text.size() || text[userEnd] != ':') return at;
  std::size_t passEnd = userEnd + 1;
  while (passEnd < text.size() && passEnd - userEnd <= kMaxCredential && !endsCredential(text[passEnd])) ++passEnd;
  // A sentence may end right after it.
  while (passEnd > userEnd + 1 && (text[passEnd - 1] == '.' || text[passEnd - 1] == ')')) --passEnd;
  if (passEnd == userEnd + 1) return at;
  form.username.assign(text.substr(at + 1, userEnd - at - 1));
  form.password.assign(text.substr(userEnd + 1, passEnd - userEnd - 1));
  return passEnd;
}

}  // namespace

std::optional<ProtocolBit> schemeNamed(std::string_view name) {
  if (name.size() > kMaxSchemeLetters) return std::nullopt;
  std::string folded;
  for (char c : name) folded += lower(c);
  if (folded == "socks4a") return kSocks4;
  if (folded == "socks5h") return kSocks5;
  return protocolNamed(folded);
}

void forEachWord(std::string_view text, const std::function<void(std::string_view word)>& word) {
  for (std::size_t at = 0; at < text.size();) {
    if (!isAlnum(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && isAlnum(text[end])) ++end;
    word(text.substr(at, end - at));
    at = end;
  }
}

ProtocolSet protocolOfText(std::string_view text) {
  ProtocolSet named = 0;
  bool afterSocks = false;
  forEachWord(text, [&](std::string_view word) {
    if (std::optional<ProtocolBit> scheme = schemeNamed(word)) {
      named |= *scheme;
      afterSocks = *scheme == kSocks4 || *scheme == kSocks5;
    } else if (afterSocks && (word == "4" || word == "5")) {
      named |= word == "4" ? kSocks4 : kSocks5;  // "SOCKS4/5"
    } else {
      afterSocks = false;
    }
  });
  return std::has_single_bit(named) ? named : 0;
}

std::string readProxyWord(std::string_view word, ProxyForm& form) {
  bool prefixed = false;  // by a scheme or credentials: then nothing may follow the port
  if (std::size_t separator = word.find("://"); separator != kNone) {
    std::optional<ProtocolBit> scheme = schemeNamed(word.substr(0, separator));
    if (!scheme) return "unknown scheme";
    form.scheme = *scheme;
    word.remove_prefix(separator + 3);
    if (word.ends_with('/')) word.remove_suffix(1);
    prefixed = true;
  }
  if (std::size_t sign = word.rfind('@'); sign != kNone) {
    takeUserinfo(word.substr(0, sign), form);
    word.remove_prefix(sign + 1);
    prefixed = true;
  }
  std::size_t colon = word.find(':');
  if (colon == kNone) return "bad port";
  form.address.assign(word.substr(0, colon));
  std::string_view port = word.substr(colon + 1);
  if (std::size_t second = port.find(':'); second != kNone && !prefixed) {
    std::string_view credentials = port.substr(second + 1);
    port = port.substr(0, second);
    std::size_t third = credentials.find(':');
    if (third == kNone || third == 0) return "bad credentials (address:port:user:pass)";
    form.username.assign(credentials.substr(0, third));
    form.password.assign(credentials.substr(third + 1));
  }
  form.port.assign(port);
  return {};
}

void findInlineProxies(std::string_view text, FoundIn where, const FoundProxy& found) {
  std::size_t at = 0;
  while (at < text.size()) {
    // An address starts a number: not inside one, nor after a dot.
    if (!isDigit(text[at]) || (at > 0 && (isDigit(text[at - 1]) || text[at - 1] == '.'))) {
      ++at;
      continue;
    }
    std::size_t end = quadEnd(text, at);
    if (end == kNone) {
      ++at;
      continue;
    }
    if (end + 1 >= text.size() || text[end] != ':' || !isDigit(text[end + 1])) {
      at = end;  // an address without a port: no proxy
      continue;
    }
    std::size_t portEnd = end + 1;
    while (portEnd < text.size() && isDigit(text[portEnd])) ++portEnd;
    ProxyForm form;
    form.address.assign(text.substr(at, end - at));
    form.port.assign(text.substr(end + 1, std::min(portEnd - end - 1, kMaxPortDigits + 1)));
    std::size_t next = portEnd;
    std::size_t start = userinfoBefore(text, at, form);
    if (std::optional<std::optional<ProtocolBit>> scheme = schemeBefore(text, start)) {
      bool link = portEnd + 1 < text.size() && text[portEnd] == '/' && !endsCredential(text[portEnd + 1]);
      if (!*scheme || link) {  // another kind of address, or a page on the host
        at = portEnd;
        continue;
      }
      form.scheme = **scheme;
    } else if (start == at) {
      next = credentialsAfter(text, portEnd, form);
    }
    found(form, where);
    at = next;
  }
}

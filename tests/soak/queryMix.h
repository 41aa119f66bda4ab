#pragma once
// Queries for soaking the extraction service: well-formed ones with random filters, each kind of
// malformed one, over-long ones, other paths and random bytes, each with what its answer must
// be by the service's documented rules; and the check of one answer against them.
// Shared by the short soak in host_tests and the long one under tests/soak.
#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/listMarkers.h"

namespace soak {

enum class Expect {
  kList,        // 200 with entries that pass the query's filters
  kBadRequest,  // 400, empty list
  kTooLong,     // 414, empty list
  kNotFound,    // 404, empty list
  kAnyStatus,   // random bytes: 200 or 400, a well-formed page either way
};

struct Query {
  Expect expect = Expect::kList;
  std::string target;
  // For kList: the count asked for, the address prefix and port asked for (empty, 0 = any), and
  // whether the query named a region or carrier (which the list cannot show).
  long long count = 0;
  std::string prefix;
  int port = 0;
  bool regionOrCarrier = false;
};

inline constexpr int kMaxListed = 10000;
inline constexpr char kPageType[] = "text/html; charset=gbk";

inline std::string percentAll(std::string_view bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char byte : bytes) {
    encoded += '%';
    encoded += hex[byte >> 4];
    encoded += hex[byte & 15];
  }
  return encoded;
}

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& from) {
  return from[random() % from.size()];
}

inline Query wellFormedQuery(std::mt19937& random) {
  Query query;
  static const std::vector<long long> counts = {0, 1, 2, 20, 100, 999, 10000, 10001, 99999999999};
  query.count = random() % 2 ? pick(random, counts) : static_cast<long long>(random() % 12000);
  std::vector<std::string> pairs;
  // Digits sent as the program sends them (every byte encoded) or as a browser does (plain).
  auto value = [&](const std::string& text) { return random() % 2 ? percentAll(text) : text; };
  pairs.push_back("tqsl=" + value(std::to_string(query.count)));
  if (random() % 2) {
    static const std::vector<int> ports = {18186, 18186, 8080, 3128, 1080, 8888, 1, 65535};
    query.port = random() % 4 ? pick(random, ports) : static_cast<int>(1 + random() % 65535);
    pairs.push_back((random() % 2 ? "ports[]2=" : "ports%5B%5D2=") + value(std::to_string(query.port)));
  } else if (random() % 2) {
    pairs.push_back("ports[]2=");
  }
  if (random() % 2) {
    static const std::vector<std::string> prefixes = {"11", "1", "110.51", "203.0.113.", "192", "9", "119.0.2.5"};
    query.prefix = pick(random, prefixes);
    pairs.push_back("ktip=" + value(query.prefix));
  }
  if (random() % 3 == 0) {
    static const std::vector<std::string> regions = {"广东", "州", "北京", "内蒙古呼和浩特", "火星"};
    pairs.push_back("sxb=" + percentAll(pick(random, regions)));
    query.regionOrCarrier = true;
  }
  if (random() % 3 == 0) {
    static const std::vector<std::string> carriers = {"电信", "联通", "移动", "全部运营商"};
    pairs.push_back("sxa=" + percentAll(pick(random, carriers)));
    query.regionOrCarrier = true;
  }
  if (random() % 2) pairs.push_back("submit=" + percentAll("提  取"));
  std::shuffle(pairs.begin(), pairs.end(), random);
  query.target = "/mo.php?";
  for (size_t i = 0; i < pairs.size(); ++i) query.target += (i ? "&" : "") + pairs[i];
  return query;
}

inline Query makeQuery(std::mt19937& random) {
  unsigned roll = random() % 100;
  if (roll < 45) return wellFormedQuery(random);
  Query query;
  if (roll < 70) {
    static const std::vector<std::string> malformed = {
        "tqsl=%2",
        "tqsl=%G0",
        "tqsl=20&ktip=%",
        "tqsl=1&foo=1",
        "tqsl=1&tqsl=2",
        "sxb=%B1%B1",
        "tqsl=",
        "tqsl=-1",
        "tqsl=1.5",
        "tqsl=abc",
        "tqsl=1&ports[]2=0",
        "tqsl=1&ports[]2=70000",
        "tqsl=1&ports[]2=abc",
        "tqsl=2&%ZZ=1",
        "=1&tqsl=1",
    };
    query.expect = Expect::kBadRequest;
    query.target = "/mo.php?" + pick(random, malformed);
  } else if (roll < 75) {
    query.expect = Expect::kTooLong;
    query.target = "/mo.php?tqsl=1&ktip=" + std::string(2100 + random() % 6000, '1');
  } else if (roll < 80) {
    static const std::vector<std::string> paths = {
        "/", "/index.php", "/mo.phpx?tqsl=1", "/MO.PHP?tqsl=1", "/mo.php/x?tqsl=1", "/mo-php"};
    query.expect = Expect::kNotFound;
    query.target = pick(random, paths);
  } else {
    // Any byte a request line can carry: printable ASCII but the space and '#', and high bytes.
    query.expect = Expect::kAnyStatus;
    query.target = "/mo.php?";
    for (unsigned length = random() % 300; length > 0; --length) {
      char byte = static_cast<char>(random() % 2 ? 0x21 + random() % 0x5E : 0x80 + random() % 0x80);
      query.target += byte == '#' ? '%' : byte;
    }
  }
  return query;
}

inline bool isDottedAddress(std::string_view text) {
  int parts = 0;
  while (true) {
    size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    int value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return parts == 4;
}

// The list between the markers, split at "<BR>" (no empty piece after a final separator).
// `found` is false when either marker is missing.
struct Listed {
  bool found = false;
  std::vector<std::string> entries;
};

inline Listed listedIn(std::string_view page) {
  Listed listed;
  size_t start = page.find(kListStartMarker);
  if (start == std::string_view::npos) return listed;
  start += std::string_view(kListStartMarker).size();
  size_t end = page.find(kListEndMarker, start);
  if (end == std::string_view::npos) return listed;
  listed.found = true;
  std::string_view list = page.substr(start, end - start);
  while (!list.empty()) {
    size_t at = list.find(kListSeparator);
    listed.entries.emplace_back(list.substr(0, at));
    list.remove_prefix(at == std::string_view::npos ? list.size() : at + std::string_view(kListSeparator).size());
  }
  return listed;
}

// Empty when the answer is what the query must get; otherwise what is wrong with it.
// `poolSize` (0 = unknown) lets an unfiltered query be held to its exact count.
inline std::string checkAnswer(const Query& query, int status, std::string_view contentType, std::string_view body,
                               size_t poolSize = 0) {
  auto fault = [&](const std::string& what) { return what + " (status " + std::to_string(status) + ")"; };
  int wanted = 0;
  switch (query.expect) {
    case Expect::kList:
      wanted = 200;
      break;
    case Expect::kBadRequest:
      wanted = 400;
      break;
    case Expect::kTooLong:
      wanted = 414;
      break;
    case Expect::kNotFound:
      wanted = 404;
      break;
    case Expect::kAnyStatus:
      wanted = status == 200 || status == 400 ? status : 200;
      break;
  }
  if (status != wanted) return fault("status is not " + std::to_string(wanted));
  if (contentType != kPageType) return fault("content type " + std::string(contentType));
  Listed listed = listedIn(body);
  if (!listed.found) return fault("a marker is missing");
  if (status != 200 && !listed.entries.empty()) return fault("an error page lists entries");
  for (const std::string& entry : listed.entries) {
    size_t colon = entry.rfind(':');
    std::string_view port = colon == std::string::npos ? "" : std::string_view(entry).substr(colon + 1);
    long number = port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos
                      ? 0
                      : std::stol(std::string(port));
    if (colon == std::string::npos || !isDottedAddress(std::string_view(entry).substr(0, colon)) || number < 1 ||
        number > 65535 || port[0] == '0')
      return fault("malformed entry \"" + entry.substr(0, 40) + "\"");
    if (query.expect != Expect::kList) continue;
    if (!entry.starts_with(query.prefix)) return fault("entry " + entry + " lacks the prefix " + query.prefix);
    if (query.port && number != query.port)
      return fault("entry " + entry + " is not on port " + std::to_string(query.port));
  }
  if (query.expect == Expect::kList) {
    long long most = query.count < kMaxListed ? query.count : kMaxListed;
    if (static_cast<long long>(listed.entries.size()) > most) return fault("more entries than asked for");
    bool unfiltered = query.prefix.empty() && query.port == 0 && !query.regionOrCarrier;
    if (unfiltered && poolSize > 0 &&
        static_cast<long long>(listed.entries.size()) != std::min<long long>(most, static_cast<long long>(poolSize)))
      return fault("an unfiltered query got " + std::to_string(listed.entries.size()) + " entries");
  }
  return {};
}

}  // namespace soak

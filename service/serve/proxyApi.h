#pragma once
// GET /api/proxies?count=&region=&carrier=&port=&prefix= for scripts: the served entries as JSON
// (UTF-8), with the same filters as mo.php and the facts a script wants to sort or pick by.
#include <map>
#include <string>
#include <string_view>

#include "service/store/poolSnapshot.h"

inline constexpr char kProxyApiPath[] = "/api/proxies";
inline constexpr int kDefaultApiCount = 20;

struct JsonReply {
  int status = 200;
  std::string body;  // application/json
};

// `params` are the decoded query parameters. count: 0 to kMaxCount (default 20); region: in the province
// or the city; carrier: equal; port: equal; prefix: the address starts with it. An unknown or repeated
// key, a count or port that is not a number in its range (a count above kMaxCount included: a script
// asking for more than it can get is told so rather than quietly given less), or a text that is not
// UTF-8 is a 400 with {"error": "..."}.
JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params);

// The same for the raw query string (the text after "?"), decoded as mo.php decodes its own: "%XX" is a
// byte, "+" a space, and a "%" without two hex digits after it is a 400.
JsonReply answerProxyApiQuery(const PoolSnapshot& snapshot, std::string_view rawQuery);

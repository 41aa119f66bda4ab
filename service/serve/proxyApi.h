#pragma once
// GET /api/proxies?count=&region=&carrier=&port=&prefix= for scripts: the served entries as JSON
// (UTF-8), with the same filters as mo.php and the facts a script wants to sort or pick by.
#include <map>
#include <string>

#include "service/store/poolSnapshot.h"

inline constexpr char kProxyApiPath[] = "/api/proxies";
inline constexpr int kDefaultApiCount = 20;

struct JsonReply {
  int status = 200;
  std::string body;  // application/json
};

// `params` are the decoded query parameters (UTF-8). count: 0 to kMaxCount (default 20); region: in
// the province or the city; carrier: equal; port: equal; prefix: the address starts with it. An
// unknown or repeated key, or a malformed count or port, is a 400 with {"error": "..."}.
JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params);

#pragma once
// GET /api/proxies?count=&region=&carrier=&port=&prefix=&protocol=&anonymity=&credentials= for scripts: the
// served entries as JSON (UTF-8), with the same filters as mo.php, the protocols and grades the check found,
// and the facts a script wants to sort or pick by.
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
// or the city; carrier: equal; port: equal; prefix: the address starts with it; protocol and anonymity:
// comma-separated names (http, https, socks4, socks5; transparent, anonymous, elite), an entry passing
// when it has any of them. An unknown or repeated key, a count or port that is not a number in its range
// (a count above kMaxCount included: a script asking for more than it can get is told so rather than
// quietly given less), an unknown protocol or grade, or a text that is not UTF-8 is a 400 with
// {"error": "..."}.
// credentials=1 adds each entry's username and password, when it has them, for a request from this
// machine (`fromThisMachine`); from anywhere else it is a 403: the pool's secrets never leave it.
JsonReply answerProxyApi(const PoolSnapshot& snapshot, const std::multimap<std::string, std::string>& params,
                         bool fromThisMachine = false);

// The same for the raw query string (the text after "?"), decoded as mo.php decodes its own: "%XX" is a
// byte, "+" a space, and a "%" without two hex digits after it is a 400.
JsonReply answerProxyApiQuery(const PoolSnapshot& snapshot, std::string_view rawQuery, bool fromThisMachine = false);

// Whether a client's address (HttpRequest::peer) is this machine: 127.0.0.0/8 or ::1, IPv4-mapped too.
bool isLoopbackPeer(std::string_view peer);

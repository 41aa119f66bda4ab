#pragma once
// Whether a URL can be the check URL, decided at start by libcurl's own parser (the one that will read
// it for every check), so a URL the checker cannot use never reaches it.
#include <string>
#include <string_view>

// Empty when `url` will do: http or https, a host, a valid port, no user name or password, no
// fragment, no token of its own in the query. Otherwise why not, in a few words.
std::string checkUrlProblem(std::string_view url);

// Whether a usable check URL names its host rather than giving an address: a SOCKS proxy is then asked
// to resolve it (SOCKS4a, SOCKS5 with a host name), as a client behind it would.
bool checkUrlNamesHost(std::string_view url);

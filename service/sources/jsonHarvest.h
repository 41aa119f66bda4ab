#pragma once
// Proxies in a JSON document, in the shapes public proxy lists take: objects with an address field (ip,
// address, host, …) and a port field (a number or a string), with a protocol field (protocol, type, scheme,
// protocols: a name or a list of names) and username and password fields when present; and proxies
// written inline in any string or key, as in prose ("socks5://1.2.3.4:1080").
#include <string_view>

#include "service/sources/proxyForm.h"

// False, having reported nothing, when `text` is not one well-formed JSON value.
bool findInJson(std::string_view text, const FoundProxy& found);

#pragma once
// Splitting a URL into what WinINet wants (host, port, object path) and reading header values.
#include <string_view>

#include "toolkit/valueModel.h"

// The text after the first ':' with outer blanks removed; empty when there is no ':'.
Text headerValue(std::string_view line);

// The URL's host in lowercase, with its ":port" when keepPort is set. A URL without a scheme is
// read as http.
Text urlHost(std::string_view url, bool keepPort = false);

// The port written after the host (full-width digits accepted), else 443 for https, else 80.
int urlPort(std::string_view url);

// The object path from the first '/' after the host that follows the scheme to the end (query
// included), or "/".
Text urlPath(std::string_view url);

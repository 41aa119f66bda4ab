#pragma once
// The request-building and reply-scanning rules of the web request routine, free of WinINet so
// they are tested on the host: user agent, default headers, request flags, the header scan.
#include <cstdint>
#include <string_view>

#include "toolkit/valueModel.h"

inline constexpr char kDefaultUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK3TQ; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR "
    "3.5.21022)";

// The agent named by a "User-Agent:" line of the caller's headers, else the default agent.
Text userAgentFor(std::string_view headers);

// Appends each default header whose name the headers lack; the cookie line whenever cookies is
// not empty. The first appended line has no leading CR LF when headers is empty.
void appendDefaultHeaders(Text& headers, std::string_view url, std::string_view cookies);

// INTERNET_FLAG_* bits of the request call.
std::uint32_t requestFlags(std::string_view url, bool cookiesPresent, bool noRedirect);

struct ReplyHeaderScan {
  Text cookies;   // name=value pairs set by the reply, joined by "; "
  Text location;  // value of the last "Location:" line, empty when none
};

// Scans the raw reply header block, lines separated by CR LF.
ReplyHeaderScan scanReplyHeaders(std::string_view responseHeaders);

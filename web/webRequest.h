#pragma once
// The system's HTTP/HTTPS client: one synchronous exchange over WinINet per call.
#include <optional>
#include <string_view>

#include "toolkit/valueModel.h"

struct WebRequestOptions {
  int method = 0;                   // 1: "POST"; any other value "GET"; non-zero sends a body
  Text postText{};                  // body, used when postBytes is empty
  Text* cookies = nullptr;          // in/out; null = left out (WinINet's cookie store is used)
  Text* returnedCookies = nullptr;  // out: cookies the reply set, "name=value; name=value"
  Text* headers = nullptr;          // in/out: extra request lines; the defaults are appended
  Text* redirectAddress = nullptr;  // out: "Location:" value, else the whole header block
  bool noRedirect = false;          // WinINet does not follow redirects by itself
  ByteSet* postBytes = nullptr;     // in/out: body as bytes
  std::optional<Text> proxy{};      // present (even empty) = go through "http=" + proxy
  Text* responseHeaders = nullptr;  // out: the raw reply header block
};

// The reply body exactly as received, or an empty byte set when the request was not opened.
ByteSet webRequest(std::string_view url, const WebRequestOptions& options = {});

// GET with every option left out; the body up to its first zero byte, "" on failure.
Text webGetText(std::string_view url);

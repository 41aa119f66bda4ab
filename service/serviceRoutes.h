#pragma once
// What the service answers, and its binding to the HTTP server.
#include <string_view>
#include <vector>

#include "service/proxyPool.h"
#include "toolkit/valueModel.h"

namespace httplib {
class Server;
}

inline constexpr char kExtractionPath[] = "/mo.php";

struct Reply {
  int status = 200;
  Text body;  // a GBK page, sent as kPageContentType
};

// The answer to GET /mo.php?<rawQuery>; `rawQuery` is the text after "?" as received, empty when the
// target has no "?".
Reply answerExtraction(const std::vector<PoolEntry>& pool, std::string_view rawQuery);

// The page for a status the HTTP layer decided on (404 for any other path, 414 for a request line
// the server refuses to read, 400 for an unreadable request...).
Reply answerFailure(int status);

// Routes GET and HEAD of kExtractionPath to answerExtraction and gives every error status a page.
// `pool` must outlive the server.
void installRoutes(httplib::Server& server, const std::vector<PoolEntry>& pool);

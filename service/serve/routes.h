#pragma once
// What the service answers, and its binding to the HTTP server.
#include <optional>
#include <string_view>
#include <vector>

#include "service/check/checkKey.h"
#include "service/serve/statusPage.h"
#include "service/store/poolEntry.h"
#include "service/store/poolSnapshot.h"
#include "toolkit/valueModel.h"

namespace httplib {
class Server;
}

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

// Routes GET and HEAD of the extraction page (protocol::kExtractPath) to answerExtraction over the current snapshot, of
// kProxyApiPath to answerProxyApi, of kStatusPath to the status page and, given a key, of kCheckPath to
// the check target's signed answer (so one service can be another's check target), and gives every
// error status a page. `snapshot` must outlive the server.
void installRoutes(httplib::Server& server, const SnapshotHolder& snapshot, StatusSettings status,
                   const std::optional<CheckKey>& checkKey = std::nullopt);

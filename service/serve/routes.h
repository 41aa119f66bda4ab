#pragma once
// What the service answers, as functions of a request and the current snapshot: the program's page, the
// JSON answer for scripts, the status page and the check target's answer; and the page for each status
// the HTTP front decides itself. No sockets here: httpServer.* carries these.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/check/checkKey.h"
#include "service/check/checkTarget.h"
#include "service/serve/httpServer.h"
#include "service/serve/statusPage.h"
#include "service/store/poolEntry.h"
#include "service/store/poolSnapshot.h"
#include "toolkit/valueModel.h"

struct Reply {
  int status = 200;
  Text body;  // a GBK page, sent as kPageContentType
};

// The answer to GET /mo.php?<rawQuery>; `rawQuery` is the text after "?" as received, empty when the
// target has no "?".
Reply answerExtraction(const std::vector<PoolEntry>& pool, std::string_view rawQuery);

// The page for a status the HTTP layer decided on (404 for any other path, 405, 413, 414, 431, 400 for an
// unreadable request...).
Reply answerFailure(int status);

// answerFailure as the front sends it; a 405 names the methods it takes.
HttpAnswer refusalAnswer(int status);

// GET /check?<rawQuery>: the check target's answer signed with `key`, with what it saw of the request
// (text/plain, never cached), or a 400.
HttpAnswer checkTargetRoute(std::string_view rawQuery, const CheckKey& key, const CheckSight& sight = {});

// GET and HEAD of the extraction page (protocol::kExtractPath) answered by answerExtraction over the
// current snapshot, kProxyApiPath by the JSON answer, kStatusPath by the status page, kCheckPath by the
// check target's answer when there is a key (so one service can be another's check target), anything else
// a 404 page.
class ServiceRoutes {
 public:
  // `snapshot`, and `counters` when given (shown on the status page), must outlive the routes.
  ServiceRoutes(const SnapshotHolder& snapshot, StatusSettings status, const ServerCounters* counters = nullptr,
                std::optional<CheckKey> checkKey = std::nullopt);

  HttpAnswer answer(const HttpRequest& request) const;
  // answer() and refusalAnswer(), for the server; the routes must outlive it.
  HttpHandlers handlers() const;

 private:
  // What is built once per snapshot, by the first request that meets it.
  struct Kept {
    std::weak_ptr<const PoolSnapshot> snapshot;
    std::string status;                                 // the status page's snapshot part
    std::shared_ptr<const std::string> firstApiAnswer;  // /api/proxies unfiltered, the default count
  };
  std::shared_ptr<const Kept> kept(const std::shared_ptr<const PoolSnapshot>& snapshot) const;

  const SnapshotHolder& snapshot_;
  StatusSettings status_;
  const ServerCounters* counters_;
  std::optional<CheckKey> checkKey_;
  mutable std::mutex keptLock_;
  mutable std::shared_ptr<const Kept> kept_;
};

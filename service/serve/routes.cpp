#include "service/serve/routes.h"

#include <string>

#include "protocol/extractPage.h"
#include "service/check/checkAnswer.h"
#include "service/check/checkTarget.h"
#include "service/serve/extractRequest.h"
#include "service/serve/filterPool.h"
#include "service/serve/listPage.h"
#include "service/serve/percentDecode.h"
#include "service/serve/proxyApi.h"

namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;
constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
constexpr int kMethodNotAllowed = 405;
constexpr int kContentTooLarge = 413;
constexpr int kUriTooLong = 414;
constexpr int kHeadTooLarge = 431;
constexpr char kJsonType[] = "application/json";
constexpr char kPlainType[] = "text/plain";
constexpr std::string_view kFirstApiQuery = "count=20";
static_assert(kDefaultApiCount == 20, "kFirstApiQuery spells out the default count");

HttpAnswer pageAnswer(Reply reply) {
  return {reply.status, kPageContentType, std::make_shared<const std::string>(std::move(reply.body)), {}};
}

// The path of a target, percent escapes decoded as a browser may send them ("/mo%2Ephp").
std::string_view pathOf(std::string_view target, std::string& decoded) {
  std::string_view path = target.substr(0, target.find('?'));
  if (path.find('%') == std::string_view::npos) return path;
  std::optional<Text> plain = percentDecode(path);
  if (!plain || plain->find('+') != std::string::npos) return path;
  decoded = std::move(*plain);
  return decoded;
}

Text inQuotes(std::string_view key) {
  return "“" + Text(key) + "”";
}

Text problemNotice(const ParsedQuery& parsed) {
  switch (parsed.problem) {
    case QueryProblem::kNone:
      break;
    case QueryProblem::kTooLong:
      return "查询太长：最多 " + std::to_string(kMaxQueryBytes) + " 字节。";
    case QueryProblem::kMalformedEscape:
      return "查询有误：" + inQuotes(parsed.key) + "一项的百分号编码不完整（% 后须有两位十六进制数字）。";
    case QueryProblem::kUnknownKey:
      return "查询有误：未知的参数" + inQuotes(parsed.key) + "。";
    case QueryProblem::kDuplicateKey:
      return "查询有误：参数" + inQuotes(parsed.key) + "出现了不止一次。";
    case QueryProblem::kBadCount:
      return "查询有误：数量（tqsl）须是不小于 0 的整数。";
    case QueryProblem::kBadPort:
      return "查询有误：端口（ports[]2）须为空，或是 1 到 65535 之间的整数。";
  }
  return {};
}

}  // namespace

// Answers, all of them a GBK page (text/html; charset=gbk) carrying both list markers:
// - 200 with the matching entries between the markers, up to the count asked for;
// - 200 with an empty list when nothing matches, when the count is 0, or for the bare page without a
//   query; a notice says when nothing matched or when a count above kMaxCount was cut down;
// - 400 with an empty list and a notice naming the fault for malformed input: a "%" without two hex
//   digits, an unknown key, a key given twice, a count that is missing, empty or not a decimal
//   number, a port that is not empty and not 1 to 65535;
// - 414 with an empty list for a query longer than kMaxQueryBytes.
// A region, leading part or carrier that matches nothing is not malformed: 200 with an empty list.
// The rest are answerFailure's pages: 404 for any other path, and those of the HTTP front's refusals
// (a client outside --allow, a target or head beyond its caps, a body, a method other than GET and HEAD,
// an unreadable request).
Reply answerExtraction(const std::vector<PoolEntry>& pool, std::string_view rawQuery) {
  ParsedQuery parsed = parseExtractQuery(rawQuery);
  if (parsed.problem != QueryProblem::kNone) {
    int status = parsed.problem == QueryProblem::kTooLong ? kUriTooLong : kBadRequest;
    return {status, renderListPage({}, problemNotice(parsed))};
  }
  std::vector<const PoolEntry*> chosen = filterPool(pool, parsed.request);
  Text notice;
  if (parsed.request.countCapped) {
    notice = "每次最多提取 " + std::to_string(kMaxCount) + " 个，已按 " + std::to_string(kMaxCount) + " 个提取。";
  } else if (chosen.empty() && parsed.request.count > 0) {
    notice = "没有符合条件的代理IP。";
  }
  return {kOk, renderListPage(chosen, notice)};
}

Reply answerFailure(int status) {
  Text notice;
  if (status == kNotFound) {
    notice = "页面不存在。";
  } else if (status == kUriTooLong) {
    notice = "请求太长。";
  } else if (status == kMethodNotAllowed) {
    notice = "只接受 GET 和 HEAD 请求。";
  } else if (status == kContentTooLarge) {
    notice = "请求体太大：最多 1024 字节。";
  } else if (status == kForbidden) {
    notice = "此地址无权访问本服务。";
  } else if (status == kHeadTooLarge) {
    notice = "请求头太大。";
  } else {
    notice = "请求无法处理（HTTP " + std::to_string(status) + "）。";
  }
  return {status, renderListPage({}, notice)};
}

HttpAnswer refusalAnswer(int status) {
  HttpAnswer answer = pageAnswer(answerFailure(status));
  if (status == kMethodNotAllowed) answer.headers = "Allow: GET, HEAD\r\n";
  return answer;
}

HttpAnswer checkTargetRoute(std::string_view rawQuery, const CheckKey& key, const CheckSight& sight) {
  std::optional<std::string> answer = answerCheck(rawQuery, key, sight);
  HttpAnswer reply{answer ? kOk : kBadRequest, kPlainType,
                   std::make_shared<const std::string>(answer ? std::move(*answer) : "bad check token\n"),
                   "Cache-Control: no-store\r\n"};
  return reply;
}

ServiceRoutes::ServiceRoutes(const SnapshotHolder& snapshot, StatusSettings status, const ServerCounters* counters,
                             std::optional<CheckKey> checkKey)
    : snapshot_(snapshot), status_(std::move(status)), counters_(counters), checkKey_(std::move(checkKey)) {}

HttpAnswer ServiceRoutes::answer(const HttpRequest& request) const {
  // The raw query, decoded by each answer itself: the filters need exactly the GBK bytes the program sent.
  std::size_t question = request.target.find('?');
  std::string_view query = question == std::string_view::npos ? "" : request.target.substr(question + 1);
  std::string decoded;
  std::string_view path = pathOf(request.target, decoded);
  if (path == protocol::kExtractPath) return pageAnswer(answerExtraction(snapshot_.get()->served, query));
  if (path == kProxyApiPath) {
    // What most scripts ask is the same for every request until the snapshot changes.
    if (query.empty() || query == kFirstApiQuery) return {kOk, kJsonType, kept(snapshot_.get())->firstApiAnswer, {}};
    JsonReply reply = answerProxyApiQuery(*snapshot_.get(), query, isLoopbackPeer(request.peer));
    return {reply.status, kJsonType, std::make_shared<const std::string>(std::move(reply.body)), {}};
  }
  if (path == kStatusPath) {
    std::shared_ptr<const Kept> kept = this->kept(snapshot_.get());
    return {
        kOk, kStatusContentType, std::make_shared<const std::string>(finishStatusPage(kept->status, counters_)), {}};
  }
  // The peer and the headers as they reached us: the checker grades the proxy they came through by them.
  if (path == kCheckPath && checkKey_) return checkTargetRoute(query, *checkKey_, {request.peer, request.headers});
  return pageAnswer(answerFailure(kNotFound));
}

std::shared_ptr<const ServiceRoutes::Kept> ServiceRoutes::kept(
    const std::shared_ptr<const PoolSnapshot>& snapshot) const {
  std::lock_guard lock(keptLock_);
  if (!kept_ || kept_->snapshot.lock() != snapshot) {
    kept_ = std::make_shared<const Kept>(Kept{snapshot, renderStatusSnapshot(*snapshot, status_),
                                              std::make_shared<const std::string>(answerProxyApi(*snapshot, {}).body)});
  }
  return kept_;
}

HttpHandlers ServiceRoutes::handlers() const {
  return {[this](const HttpRequest& request) { return answer(request); }, refusalAnswer};
}

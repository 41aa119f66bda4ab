#include "service/serve/routes.h"

#include <httplib.h>

#include <string>

#include "protocol/extractPage.h"
#include "service/check/checkTarget.h"
#include "service/serve/extractRequest.h"
#include "service/serve/filterPool.h"
#include "service/serve/listPage.h"
#include "service/serve/proxyApi.h"

namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;
constexpr int kNotFound = 404;
constexpr int kUriTooLong = 414;

// httplib routes by regular expression: the page path matches as it stands.
std::string literalPattern(std::string_view path) {
  std::string pattern;
  for (char c : path) {
    if (c == '.') pattern += '\\';
    pattern += c;
  }
  return pattern;
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
// The HTTP layer answers the rest through answerFailure: 404 for any other path, 414 for a request
// line beyond httplib's own 8192-byte limit, 400 for a request it cannot read.
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
  } else {
    notice = "请求无法处理（HTTP " + std::to_string(status) + "）。";
  }
  return {status, renderListPage({}, notice)};
}

void installRoutes(httplib::Server& server, const SnapshotHolder& snapshot, StatusSettings status,
                   const std::optional<CheckKey>& checkKey) {
  // The raw target, not request.params: httplib's decoding turns "%uXXXX" into UTF-8 and lets a
  // malformed "%" through silently, and the filters need exactly the GBK bytes the program sent.
  server.Get(literalPattern(protocol::kExtractPath), [&snapshot](const httplib::Request& request,
                                                                 httplib::Response& response) {
    std::string_view target = request.target;
    std::size_t question = target.find('?');
    std::shared_ptr<const PoolSnapshot> pool = snapshot.get();
    Reply reply = answerExtraction(pool->served, question == std::string_view::npos ? "" : target.substr(question + 1));
    response.status = reply.status;
    response.set_content(reply.body, kPageContentType);
  });
  server.Get(kProxyApiPath, [&snapshot](const httplib::Request& request, httplib::Response& response) {
    JsonReply reply = answerProxyApi(*snapshot.get(), request.params);
    response.status = reply.status;
    response.set_content(reply.body, "application/json");
  });
  server.Get(kStatusPath, [&snapshot, status](const httplib::Request&, httplib::Response& response) {
    response.set_content(renderStatusPage(*snapshot.get(), status), kStatusContentType);
  });
  if (checkKey) installCheckTarget(server, *checkKey);
  // Statuses httplib sets itself (unknown path, over-long request line) come without a body.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        Reply reply = answerFailure(response.status);
        response.set_content(reply.body, kPageContentType);
        return httplib::Server::HandlerResponse::Handled;
      }));
}

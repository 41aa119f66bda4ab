#include "service/serve/statusPage.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "service/serve/htmlText.h"
#include "service/serve/statusCharts.h"

namespace {

// This file's literals are written u8 so that the page is UTF-8 whatever the build's narrow charset.
void appendCell(std::string& page, std::size_t number) {
  page += "<td class=\"n\">" + std::to_string(number) + "</td>";
}

void appendRow(std::string& page, const HealthCount& count, std::string_view name) {
  page += "<tr><th>";
  appendHtmlEscaped(page, name);
  page += "</th>";
  appendCell(page, count.live);
  appendCell(page, count.dead);
  appendCell(page, count.failing);
  appendCell(page, count.unchecked);
  page += "</tr>\n";
}

// `counts` come largest first: the first kStatusRows get a row each, the rest one row together.
void appendTable(std::string& page, std::u8string_view heading, const std::vector<HealthCount>& counts) {
  page += fromU8(u8"<h2>");
  page += fromU8(heading);
  page += fromU8(
      u8"</h2>\n<table>\n<tr><th></th><th>存活 live</th><th>失效 dead</th><th>失败中 failing</th>"
      u8"<th>未检测 unchecked</th></tr>\n");
  for (std::size_t at = 0; at < counts.size() && at < kStatusRows; ++at) {
    appendRow(page, counts[at], counts[at].name.empty() ? fromU8(u8"未知") : counts[at].name);
  }
  if (counts.size() > kStatusRows) {
    HealthCount rest;
    for (std::size_t at = kStatusRows; at < counts.size(); ++at) {
      rest.live += counts[at].live;
      rest.dead += counts[at].dead;
      rest.failing += counts[at].failing;
      rest.unchecked += counts[at].unchecked;
    }
    appendRow(page, rest, fromU8(u8"其他（") + std::to_string(counts.size() - kStatusRows) + fromU8(u8" 个）"));
  }
  page += "</table>\n";
}

// Live entries by protocol and by anonymity grade, side by side.
void appendKinds(std::string& page, const PoolSnapshot& snapshot) {
  page += fromU8(
      u8"<h2>存活代理：协议与匿名度</h2>\n<div class=\"pair\">\n<table id=\"protocols\">\n"
      u8"<tr><th>协议 protocol</th><th>存活 live</th></tr>\n");
  for (std::size_t at = 0; at < kProtocols.size(); ++at) {
    page += "<tr><th>";
    page += protocolName(kProtocols[at]);
    page += "</th>";
    appendCell(page, snapshot.liveByProtocol[at]);
    page += "</tr>\n";
  }
  page += fromU8(u8"</table>\n<table id=\"anonymity\">\n<tr><th>匿名度 anonymity</th><th>存活 live</th></tr>\n");
  // Best first; "unknown" last: not yet graded.
  const std::pair<Anonymity, std::u8string_view> grades[] = {{Anonymity::elite, u8"高匿 elite"},
                                                             {Anonymity::anonymous, u8"匿名 anonymous"},
                                                             {Anonymity::transparent, u8"透明 transparent"},
                                                             {Anonymity::unknown, u8"未知 unknown"}};
  for (const auto& [grade, name] : grades) {
    page += "<tr><th>" + fromU8(name) + "</th>";
    appendCell(page, snapshot.liveByAnonymity[static_cast<std::size_t>(grade)]);
    page += "</tr>\n";
  }
  page += "</table>\n</div>\n";
}

void appendCharts(std::string& page, const PoolSnapshot& snapshot) {
  page += fromU8(u8"<div class=\"pair\">\n<figure>\n<figcaption>最近 48 轮结束时的存活数</figcaption>\n");
  appendHistoryChart(page, snapshot.history);
  page += fromU8(u8"</figure>\n<figure>\n<figcaption>存活代理的延迟分布</figcaption>\n");
  appendLatencyChart(page, latencyBuckets(snapshot));
  page += "</figure>\n</div>\n";
}

void appendRefusals(std::string& page, const ServerCounters& counters) {
  const std::pair<std::u8string_view, const std::atomic<std::uint64_t>*> kinds[] = {
      {u8"请求头超时 head timeout", &counters.headTimeouts},
      {u8"空闲关闭 idle close", &counters.idleCloses},
      {u8"413 请求体太大 body too large", &counters.bodyTooLarge},
      {u8"414 地址太长 URL too long", &counters.targetTooLong},
      {u8"431 请求头太大 head too large", &counters.headTooLarge},
      {u8"405 方法不允许 method", &counters.methodNotAllowed},
      {u8"单个地址连接过多 per-client cap", &counters.perClientRefused},
      {u8"连接总数已满 total cap", &counters.totalRefused},
      {u8"400 格式错误 malformed", &counters.malformed},
      {u8"发送超时 send timeout", &counters.sendTimeouts},
      {u8"403 地址不在允许之列 not allowed", &counters.notAllowed},
  };
  page += fromU8(u8"<h2>拒绝与断开</h2>\n<table id=\"refusals\">\n");
  for (const auto& [name, count] : kinds) {
    page += "<tr><th>" + fromU8(name) + "</th>";
    appendCell(page, count->load());
    page += "</tr>\n";
  }
  page += "</table>\n";
}

}  // namespace

std::string renderStatusSnapshot(const PoolSnapshot& snapshot, const StatusSettings& settings) {
  std::string page;
  page += fromU8(
      u8"<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      u8"<meta http-equiv=\"refresh\" content=\"10\">\n<title>代理池状态 — quorvelip-service</title>\n<style>\n"
      u8"body{font-family:sans-serif;margin:1.5em;color:#222}h1{font-size:1.4em}h2{font-size:1.1em;margin-top:1.4em}"
      u8"table{border-collapse:collapse}td,th{padding:.25em .8em;border-bottom:1px solid #ddd;text-align:left}"
      u8"td.n{text-align:right;font-variant-numeric:tabular-nums}.live{color:#137333}.dead{color:#b3261e}"
      u8".pair{display:flex;flex-wrap:wrap;gap:1.5em;align-items:flex-start}figure{margin:0}"
      u8"figcaption{font-weight:bold;margin:.6em 0 .3em}svg{border:1px solid #ddd;background:#fff}\n"
      u8"</style>\n</head>\n<body>\n<h1>代理池状态</h1>\n<p id=\"summary\">");
  const HealthCount& total = snapshot.total;
  std::size_t all = total.live + total.dead + total.failing + total.unchecked;
  page += fromU8(u8"共 ") + std::to_string(all) + fromU8(u8" 个：<span class=\"live\">存活 ") +
          std::to_string(total.live) + fromU8(u8"</span>，<span class=\"dead\">失效 ") + std::to_string(total.dead) +
          fromU8(u8"</span>，失败中 ") + std::to_string(total.failing) + fromU8(u8"，未检测 ") +
          std::to_string(total.unchecked) + fromU8(u8"；正在提供 ") + std::to_string(snapshot.served.size()) +
          fromU8(u8" 个。</p>\n<p id=\"checking\">");
  page += snapshot.checked ? fromU8(u8"只提供上次检测存活的条目。")
                           : fromU8(u8"库中还没有任何检测结果：按原样提供全部条目。");
  if (settings.checkUrl.empty()) {
    page += fromU8(u8"本服务不检测：没有 --check-url。");
  } else {
    page += fromU8(u8"检测地址 ");
    appendHtmlEscaped(page, settings.checkUrl);
    page += fromU8(u8"，每 ") + std::to_string(settings.recheckEverySeconds) + fromU8(u8" 秒重新检测。");
  }
  page += "</p>\n<p id=\"round\">";
  if (snapshot.rounds == 0) {
    page += fromU8(u8"还没有完成的检测轮次。");
  } else {
    const RoundFigures& round = snapshot.lastRound;
    double seconds = static_cast<double>(round.milliseconds) / 1000.0;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", seconds > 0 ? static_cast<double>(round.checks) / seconds : 0.0);
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1f", seconds);
    page += fromU8(u8"上一轮（第 ") + std::to_string(snapshot.rounds) + fromU8(u8" 轮）结束于 ") +
            formatUtcTime(round.finishedAt, "%Y-%m-%d %H:%M:%S UTC") + fromU8(u8"，用时 ") + duration +
            fromU8(u8" 秒：检测 ") + std::to_string(round.checks) + fromU8(u8" 个，存活 ") +
            std::to_string(round.alive) + fromU8(u8" 个，每秒 ") + rate + fromU8(u8" 次检测。");
  }
  page += "</p>\n";
  appendKinds(page, snapshot);
  appendCharts(page, snapshot);
  appendTable(page, u8"按地区", snapshot.byRegion);
  appendTable(page, u8"按运营商", snapshot.byCarrier);
  return page;
}

std::string finishStatusPage(std::string_view snapshotPart, const ServerCounters* counters) {
  std::string page;
  page.reserve(snapshotPart.size() + 1024);
  page += snapshotPart;
  if (counters) appendRefusals(page, *counters);
  page += "</body>\n</html>\n";
  return page;
}

std::string renderStatusPage(const PoolSnapshot& snapshot, const StatusSettings& settings,
                             const ServerCounters* counters) {
  return finishStatusPage(renderStatusSnapshot(snapshot, settings), counters);
}

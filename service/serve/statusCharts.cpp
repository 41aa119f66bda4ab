#include "service/serve/statusCharts.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "service/serve/htmlText.h"

namespace {

// One frame for both charts: the plot area inside room for the axes' labels.
constexpr double kWidth = 460, kHeight = 220;
constexpr double kLeft = 52, kRight = 448, kTop = 16, kBottom = 178;
constexpr double kPlotWidth = kRight - kLeft, kPlotHeight = kBottom - kTop;
constexpr std::size_t kLabelledHistory = 8;  // fewer rounds than this: only the newest is labelled

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// A round step for the value axis, about four lines high: 1, 2, 5, 10, 20, 50, …
std::size_t axisStep(std::size_t largest) {
  std::size_t step = 1;
  for (std::size_t scale = 1;; scale *= 10) {
    for (std::size_t factor : {1, 2, 5}) {
      step = factor * scale;
      if (step * 4 >= largest) return step;
    }
  }
}

void open(std::string& page, std::string_view id, std::u8string_view label) {
  page += "<svg id=\"";
  page += id;
  page += "\" role=\"img\" aria-label=\"" + fromU8(label) + "\" width=\"" + number(kWidth) + "\" height=\"" +
          number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " + number(kHeight) +
          "\" xmlns=\"http://www.w3.org/2000/svg\" font-family=\"sans-serif\" font-size=\"11\">\n";
}

void text(std::string& page, double x, double y, std::string_view anchor, const std::string& content,
          std::string_view extra = {}) {
  page += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"";
  page += anchor;
  page += "\" fill=\"#444\"";
  page += extra;
  page += ">" + content + "</text>\n";
}

// The value axis from 0 to the top line at or above `largest`; returns that top.
std::size_t valueAxis(std::string& page, std::size_t largest) {
  std::size_t step = axisStep(std::max<std::size_t>(largest, 1));
  std::size_t lines = (std::max<std::size_t>(largest, 1) + step - 1) / step;
  std::size_t top = lines * step;
  for (std::size_t line = 0; line <= lines; ++line) {
    double y = kBottom - kPlotHeight * static_cast<double>(line * step) / static_cast<double>(top);
    page += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kRight) + "\" y1=\"" + number(y) + "\" y2=\"" +
            number(y) + "\" stroke=\"" + (line == 0 ? "#888" : "#e3e3e3") + "\"/>\n";
    text(page, kLeft - 6, y + 4, "end", std::to_string(line * step));
  }
  return top;
}

double barHeight(std::size_t value, std::size_t top) {
  return kPlotHeight * static_cast<double>(value) / static_cast<double>(top);
}

void bar(std::string& page, double x, double width, double height, std::string_view fill, const std::string& title) {
  page += "<rect class=\"bar\" x=\"" + number(x) + "\" y=\"" + number(kBottom - height) + "\" width=\"" +
          number(width) + "\" height=\"" + number(height) + "\" fill=\"";
  page += fill;
  page += "\"><title>" + title + "</title></rect>\n";
}

void empty(std::string& page, std::u8string_view message) {
  text(page, kLeft + kPlotWidth / 2, kTop + kPlotHeight / 2, "middle", fromU8(message));
}

}  // namespace

std::array<std::size_t, kLatencyBuckets> latencyBuckets(const PoolSnapshot& snapshot) {
  std::array<std::size_t, kLatencyBuckets> buckets{};
  if (!snapshot.checked) return buckets;
  for (const ServedFacts& facts : snapshot.facts) {
    auto end = std::upper_bound(kLatencyBucketEnds.begin(), kLatencyBucketEnds.end(), facts.latencyMs);
    ++buckets[static_cast<std::size_t>(end - kLatencyBucketEnds.begin())];
  }
  return buckets;
}

void appendHistoryChart(std::string& page, const std::vector<RoundPoint>& all) {
  std::size_t shown = std::min(all.size(), kRoundHistory);
  std::vector<RoundPoint> history(all.end() - static_cast<std::ptrdiff_t>(shown), all.end());
  open(page, "history", u8"最近各轮结束时的存活数");
  std::size_t largest = 0;
  for (const RoundPoint& point : history) largest = std::max(largest, point.live);
  std::size_t top = valueAxis(page, largest);
  if (history.empty()) empty(page, u8"还没有完成的检测轮次");
  // A fixed frame of kRoundHistory places, the newest round at the right, so that the bars keep their
  // width as rounds come in.
  const double place = kPlotWidth / static_cast<double>(kRoundHistory);
  for (std::size_t at = 0; at < history.size(); ++at) {
    double x = kLeft + place * static_cast<double>(kRoundHistory - history.size() + at);
    const RoundPoint& point = history[at];
    bar(page, x + place * 0.15, place * 0.7, barHeight(point.live, top), "#1a73e8",
        formatUtcTime(point.finishedAt, "%Y-%m-%d %H:%M:%S UTC") + fromU8(u8"：存活 ") + std::to_string(point.live));
  }
  if (!history.empty()) {
    text(page, kRight, kBottom + 15, "end", formatUtcTime(history.back().finishedAt, "%H:%M"));
    if (history.size() >= kLabelledHistory) {
      double x = kLeft + place * static_cast<double>(kRoundHistory - history.size());
      text(page, x, kBottom + 15, "start", formatUtcTime(history.front().finishedAt, "%H:%M"));
    }
  }
  text(page, kLeft + kPlotWidth / 2, kBottom + 34, "middle",
       fromU8(u8"最近 ") + std::to_string(history.size()) + fromU8(u8" 轮，各轮结束时间（UTC）"));
  page += "</svg>\n";
}

void appendLatencyChart(std::string& page, const std::array<std::size_t, kLatencyBuckets>& buckets) {
  static constexpr std::u8string_view kNames[kLatencyBuckets] = {u8"<50",     u8"50–100", u8"100–200", u8"200–500",
                                                                 u8"0.5–1 s", u8"1–2 s",  u8"≥2 s"};
  static constexpr std::u8string_view kTitles[kLatencyBuckets] = {u8"50 毫秒以内",  u8"50–100 毫秒",   u8"100–200 毫秒",
                                                                  u8"200–500 毫秒", u8"500 毫秒–1 秒", u8"1–2 秒",
                                                                  u8"2 秒以上"};
  // From fast to slow: greens, then amber, then red.
  static constexpr std::string_view kColours[kLatencyBuckets] = {"#137333", "#34a853", "#7cb342", "#c0ca33",
                                                                 "#f9ab00", "#e8710a", "#c5221f"};
  open(page, "latency", u8"存活代理的延迟分布");
  std::size_t largest = *std::max_element(buckets.begin(), buckets.end());
  std::size_t top = valueAxis(page, largest);
  const double place = kPlotWidth / static_cast<double>(kLatencyBuckets);
  for (std::size_t at = 0; at < kLatencyBuckets; ++at) {
    double x = kLeft + place * static_cast<double>(at);
    double height = barHeight(buckets[at], top);
    std::string name;
    appendHtmlEscaped(name, fromU8(kNames[at]));
    if (largest > 0) {
      bar(page, x + place * 0.2, place * 0.6, height, kColours[at],
          fromU8(kTitles[at]) + fromU8(u8"：") + std::to_string(buckets[at]));
      text(page, x + place / 2, kBottom - height - 4, "middle", std::to_string(buckets[at]));
    }
    text(page, x + place / 2, kBottom + 15, "middle", name);
  }
  if (largest == 0) empty(page, u8"没有存活的代理，没有延迟可画");
  text(page, kLeft + kPlotWidth / 2, kBottom + 34, "middle", fromU8(u8"延迟（毫秒，或如注明的秒）"));
  page += "</svg>\n";
}

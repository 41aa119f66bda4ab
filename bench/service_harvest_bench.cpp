// Harvesting proxies from a page grows linearly with the page: an HTML proxy-list page (tables, prose,
// scripts, styles, comments, credentials) and a JSON API dump of 5, 25 and 50 MB, each timed whole. The
// baseline of the 25 and 50 MB figures is the 5 MB time scaled up in proportion, so a ratio near 1 is a
// straight line; the 5 MB figures' baseline is one pass of memchr over the same bytes (the least any
// reading costs). The fetch cap is 64 MiB, so 50 MB is about the largest page an import meets.
// Build with optimisation, no sanitizers.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "benchClock.h"
#include "service/sources/pageHarvest.h"

namespace {

constexpr int kRuns = 5;
constexpr std::size_t kMegabyte = 1000 * 1000;

Timing timed(const std::function<void()>& run) {
  std::vector<double> samples;
  for (int i = 0; i < kRuns; ++i) {
    double start = nowMs();
    run();
    samples.push_back(nowMs() - start);
  }
  return summarise(samples);
}

class Lcg {
 public:
  std::uint32_t below(std::uint32_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % n;
  }

 private:
  std::uint64_t state_ = 0x22;
};

std::string address(Lcg& random) {
  return std::to_string(1 + random.below(222)) + "." + std::to_string(random.below(256)) + "." +
         std::to_string(random.below(256)) + "." + std::to_string(1 + random.below(254));
}

// A proxy-list site's page, repeated to `size`: a table of rows, prose with inline and credentialed
// proxies, a script and a style with addresses that are not text, a comment, an ad and pagination.
std::string htmlPage(std::size_t size) {
  Lcg random;
  std::string page = "<!DOCTYPE html><html><head><title>Free proxies</title></head><body>\n";
  page.reserve(size + 4096);
  const char* protocols[] = {"HTTP", "HTTPS", "SOCKS4", "SOCKS5", "HTTP/HTTPS"};
  while (page.size() < size) {
    page += "<style>.ip{color:#333} /* 10.0.0.1:80 */</style>\n<script>var cdn = '" + address(random) +
            ":443'; if (a < b) go();</script>\n<!-- cached " + address(random) + ":8080 -->\n";
    page +=
        "<table class=\"list\"><thead><tr><th>IP Address</th><th>Port</th><th>Protocol</th><th>Country</th>"
        "<th>Anonymity</th><th>Last checked</th></tr></thead><tbody>\n";
    for (int row = 0; row < 40; ++row) {
      page += "<tr><td class=\"ip\"><a href=\"/ip\">" + address(random) + "</a></td><td>" +
              std::to_string(1 + random.below(65535)) + "</td><td>" + protocols[random.below(5)] +
              "</td><td>US</td><td>elite &amp; fast</td><td>" + std::to_string(random.below(60)) +
              " mins ago</td></tr>\n";
    }
    page += "</tbody></table>\n<p>Proxy of the day: <b>" + address(random) + ":3128</b>. Paid: socks5://user" +
            std::to_string(random.below(1000)) + ":p%40ss@" + address(random) + ":1080 and " + address(random) +
            ":8080:alice:secret. Version 2.4.1.7, updated 12:30, DNS 8.8.8.8, see http://" + address(random) +
            ":8080/admin.</p>\n<div class=\"ad\">Premium proxies from $1.99 &mdash; 99.9% uptime</div>\n"
            "<ul class=\"pagination\"><li><a href=\"?page=2\">2</a></li><li>Next &raquo;</li></ul>\n";
  }
  return page + "</body></html>\n";
}

// A public API's dump: an array of objects, repeated to `size`.
std::string jsonDump(std::size_t size) {
  Lcg random;
  std::string dump = "{\"status\":\"ok\",\"data\":[";
  dump.reserve(size + 1024);
  const char* protocols[] = {"[\"http\"]", "[\"http\",\"https\"]", "[\"socks4\"]", "[\"socks5\"]"};
  for (bool first = true; dump.size() < size; first = false) {
    if (!first) dump += ',';
    dump += "{\"ip\":\"" + address(random) + "\",\"port\":" + std::to_string(1 + random.below(65535)) +
            ",\"protocols\":" + protocols[random.below(4)] +
            ",\"anonymityLevel\":\"elite\",\"country\":\"DE\",\"speed\":" + std::to_string(random.below(3000)) +
            ",\"note\":\"mirror " + address(random) + ":3128\"}";
  }
  return dump + "]}";
}

// One line per figure for scripts/bench: RESULT <figure> <median> <min> <max> <baseline> ms
void result(const std::string& figure, const Timing& ours, double baseline) {
  std::printf("RESULT %s %.1f %.1f %.1f %.1f ms\n", figure.c_str(), ours.median, ours.min, ours.max, baseline);
}

void measure(const char* kind, const std::function<std::string(std::size_t)>& make) {
  double fiveMb = 0;
  for (std::size_t megabytes : {5, 25, 50}) {
    std::string page = make(megabytes * kMegabyte);
    std::size_t found = 0;
    Timing harvest = timed([&] { found = harvestPage(page, nullptr).proxies.size(); });
    std::size_t lines = 0;
    Timing scan = timed([&] {
      lines = 0;
      for (const char* at = page.data();
           (at = static_cast<const char*>(std::memchr(at, '\n', page.data() + page.size() - at))); ++at) {
        ++lines;
      }
    });
    if (megabytes == 5) fiveMb = harvest.median;
    std::printf("%s %zu MB: %zu proxies in %.0f ms (%.0f MB/s); memchr over it %.1f ms\n", kind, megabytes, found,
                harvest.median, static_cast<double>(page.size()) / 1e3 / harvest.median, scan.median);
    result(std::string("harvest-") + kind + "-" + std::to_string(megabytes) + "MB", harvest,
           megabytes == 5 ? scan.median : fiveMb * static_cast<double>(megabytes) / 5.0);
  }
}

}  // namespace

int main() {
  std::printf("== page harvest: median of %d runs; baseline: 5 MB scaled linearly (memchr for 5 MB)\n", kRuns);
  measure("html", htmlPage);
  measure("json", jsonDump);
  return 0;
}

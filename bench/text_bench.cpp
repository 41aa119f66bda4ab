// Throughput of the GBK text routines on a large reply page of mixed GBK and ASCII text, with
// glibc's memmem (which knows nothing of two-byte characters) on the same data as the yardstick.
// Prints the median, minimum and maximum of repeated runs. Build with optimisation, no sanitizers.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "benchClock.h"
#include "text/text.h"
#include "text/textBetween.h"

namespace {

constexpr int kRuns = 15;
constexpr std::size_t kMegabyte = 1 << 20;

// Deterministic pseudo-random numbers (the page must be the same in every run).
class Lcg {
 public:
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

 private:
  std::uint64_t state_ = 0x5151;
};

void appendHanzi(std::string& page, Lcg& random, int count) {
  for (int i = 0; i < count; ++i) {
    page += static_cast<char>(0xB0 + random.below(0xF7 - 0xB0 + 1));
    page += static_cast<char>(0xA1 + random.below(0xFE - 0xA1 + 1));
  }
}

// A reply-like page: table rows of Chinese text, tags, and address:port entries ended by <BR>,
// about half of its bytes in two-byte characters. Starts with <body> and ends with </body>.
std::string makePage(std::size_t size) {
  Lcg random;
  std::string page = "<body>";
  page.reserve(size + 256);
  while (page.size() < size) {
    switch (random.below(4)) {
      case 0:
        page += "<tr><td>";
        appendHanzi(page, random, 2 + static_cast<int>(random.below(10)));
        page += "</td><td class=\"c\">";
        appendHanzi(page, random, 1 + static_cast<int>(random.below(4)));
        page += "</td></tr>\r\n";
        break;
      case 1: {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%u.%u.%u.%u:%u<BR>", random.below(223) + 1, random.below(256),
                      random.below(256), random.below(256), 1024 + random.below(60000));
        page += entry;
        break;
      }
      case 2:
        appendHanzi(page, random, 8 + static_cast<int>(random.below(30)));
        page += "\xA1\xA3";  // full stop
        break;
      default:
        page += "<p>IP ";
        appendHanzi(page, random, 3);
        page += " 2024-06-01</p>\r\n";
        break;
    }
  }
  page += "</body>";
  return page;
}

Timing measure(const std::function<std::size_t()>& work, std::size_t& result) {
  std::vector<double> ms;
  for (int run = 0; run < kRuns; ++run) {
    double begin = nowMs();
    result = work();
    ms.push_back(nowMs() - begin);
  }
  return summarise(ms);
}

void report(const char* what, std::size_t bytes, const Timing& t, std::size_t result) {
  double gbPerSecond = static_cast<double>(bytes) / (t.median / 1000.0) / 1e9;
  std::printf("%-44s %9.3f ms (min %8.3f, max %8.3f)  %6.2f GB/s  [%zu]\n", what, t.median, t.min, t.max, gbPerSecond,
              result);
}

// Every occurrence, left to right, resuming after each one (as split and replace walk).
std::size_t countWithFind(const std::string& page, const std::string& needle) {
  std::size_t count = 0;
  for (int p = gbk::find(page, needle); p != -1; p = gbk::find(page, needle, p + static_cast<int>(needle.size()))) {
    ++count;
  }
  return count;
}

std::size_t countWithMemmem(const std::string& page, const std::string& needle) {
  std::size_t count = 0;
  const char* at = page.data();
  const char* end = page.data() + page.size();
  while (const void* hit = memmem(at, static_cast<std::size_t>(end - at), needle.data(), needle.size())) {
    ++count;
    at = static_cast<const char*>(hit) + needle.size();
  }
  return count;
}

// The yardstick for split: the same pieces cut at byte matches, into a plain vector.
std::vector<std::string> splitWithMemmem(const std::string& page, const std::string& separator) {
  std::vector<std::string> pieces;
  const char* at = page.data();
  const char* end = page.data() + page.size();
  while (const void* hit = memmem(at, static_cast<std::size_t>(end - at), separator.data(), separator.size())) {
    pieces.emplace_back(at, static_cast<const char*>(hit));
    at = static_cast<const char*>(hit) + separator.size();
  }
  if (at < end) pieces.emplace_back(at, end);
  return pieces;
}

// One line per figure for scripts/bench: RESULT <figure> <median> <min> <max> <baseline median> ms
void result(const std::string& figure, const Timing& ours, const Timing& baseline) {
  std::printf("RESULT %s %.3f %.3f %.3f %.3f ms\n", figure.c_str(), ours.median, ours.min, ours.max, baseline.median);
}

// The yardstick for textBetween: both markers found with memmem, the text between them copied.
std::string betweenWithMemmem(const std::string& page, const std::string& start, const std::string& end) {
  const void* from = memmem(page.data(), page.size(), start.data(), start.size());
  if (!from) return {};
  const char* begin = static_cast<const char*>(from) + start.size();
  const void* to = memmem(begin, static_cast<std::size_t>(page.data() + page.size() - begin), end.data(), end.size());
  return to ? std::string(begin, static_cast<const char*>(to)) : std::string();
}

void compareFind(const std::string& page, const char* key, const char* label, const std::string& needle) {
  std::size_t found = 0;
  std::size_t bytes = 0;
  Timing dbcs = measure([&] { return countWithFind(page, needle); }, found);
  Timing plain = measure([&] { return countWithMemmem(page, needle); }, bytes);
  char what[96];
  std::snprintf(what, sizeof what, "find %s", label);
  report(what, page.size(), dbcs, found);
  std::snprintf(what, sizeof what, "memmem %s", label);
  report(what, page.size(), plain, bytes);
  std::printf("%-44s %9.2f   (byte matches %zu, on a character %zu)\n\n", "  find/memmem throughput",
              plain.median / dbcs.median, bytes, found);
  result(std::string("text_find_") + key, dbcs, plain);
}

}  // namespace

int main() {
  const std::string big = makePage(10 * kMegabyte);
  const std::string small = makePage(kMegabyte);
  std::size_t high = static_cast<std::size_t>(std::count_if(big.begin(), big.end(), [](char c) { return c & 0x80; }));
  std::printf("page: %zu bytes, %.0f%% in two-byte characters; %d runs each\n\n", big.size(),
              100.0 * static_cast<double>(high) / static_cast<double>(big.size()), kRuns);

  compareFind(big, "br", "\"<BR>\" (all)", "<BR>");
  compareFind(big, "body_end", "\"</body>\" (once, at the end)", "</body>");
  // 的 (B5 C4) and its bytes across two characters (xx B5 | C4 xx) both occur in the page.
  compareFind(big, "hanzi", "B5 C4 (all; bytes also across pairs)", "\xB5\xC4");
  compareFind(big, "stop_p", "A1 A3 \"<p>\" (all)", "\xA1\xA3<p>");

  for (const std::string* page : {&small, &big}) {
    std::size_t pieces = 0;
    char what[96];
    std::snprintf(what, sizeof what, "split at \"<BR>\", %zu MB", page->size() / kMegabyte);
    Timing ours = measure([&] { return static_cast<std::size_t>(gbk::split(*page, "<BR>").count()); }, pieces);
    report(what, page->size(), ours, pieces);
    std::snprintf(what, sizeof what, "  same pieces cut with memmem, %zu MB", page->size() / kMegabyte);
    Timing plain = measure([&] { return splitWithMemmem(*page, "<BR>").size(); }, pieces);
    report(what, page->size(), plain, pieces);
    result("text_split_" + std::to_string(page->size() / kMegabyte) + "MB", ours, plain);
  }
  for (const std::string* page : {&small, &big}) {
    std::size_t length = 0;
    char what[96];
    std::snprintf(what, sizeof what, "textBetween <body>..</body>, %zu MB", page->size() / kMegabyte);
    Timing ours = measure([&] { return textBetween(*page, "<body>", "</body>").size(); }, length);
    report(what, page->size(), ours, length);
    Timing plain = measure([&] { return betweenWithMemmem(*page, "<body>", "</body>").size(); }, length);
    result("text_between_" + std::to_string(page->size() / kMegabyte) + "MB", ours, plain);
  }
  return 0;
}

// "提取" against a service that misbehaves: refused, silent, cut off, reset, flooding, garbled.
// After each: the window answers again, the list holds what the rules give, "保存" writes it.
// QUORVELIP_RELIABILITY_ROUNDS sets the long-use rounds (scripts/soak runs 1,000).
#include "support/faultyServer.h"
// (winsock2 before windows.h)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "buildConfig.h"
#include "protocol/listMarkers.h"
#include "support/boxWatcher.h"
#include "support/guiObjects.h"
#include "support/mainWindowFixture.h"
#include "support/memoryWatch.h"
#include "support/responsivenessProbe.h"
#include "support/scratchFiles.h"
#include "support/windows.h"
#include "toolkit/controls.h"
#include "web/urlParts.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

std::string httpReply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// The page the service sends: the list between the two markers, some HTML around it.
std::string pageAround(const std::string& list) {
  return std::string("<html><body><h4 cla") + kListStartMarker + list + kListEndMarker + "</body></html>";
}

// A list part and the listing the rules give for it: every entry followed by "\r\n", in order.
struct Listing {
  std::string list;
  std::string expected;
};

// Entries joined by "<BR>"; with `closing`, a final separator too (which adds no empty line).
Listing listingOf(const std::vector<std::string>& entries, bool closing = true) {
  Listing listing;
  for (size_t i = 0; i < entries.size(); ++i) {
    listing.list += entries[i];
    if (closing || i + 1 < entries.size()) listing.list += kListSeparator;
    listing.expected += entries[i] + "\r\n";
  }
  // A separator at the very end gives no empty last piece.
  if (!closing && !entries.empty() && entries.back().empty()) listing.expected.resize(listing.expected.size() - 2);
  return listing;
}

std::vector<std::string> addressEntries(int count) {
  std::vector<std::string> entries;
  entries.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    entries.push_back("11" + std::to_string(i / 65536 % 10) + "." + std::to_string(i / 256 % 256) + "." +
                      std::to_string(i % 256) + ".1:" + std::to_string(1024 + i % 60000));
  }
  return entries;
}

// Entries of printable ASCII (heavy on the separator's own letters, so "<BR", "BR>" and "<br>"
// turn up) and whole Chinese characters; never the separator itself, never a control byte.
std::vector<std::string> scrambledEntries(std::mt19937& random, int count) {
  static const std::vector<std::string> pieces = {"<",  "B",  "R",  ">",  "<br>", "<B", "R>", "广", "东", "电", "信",
                                                  "联", "通", "移", "动", "州",   "提", "取", ":",  ".",  " ",  "%"};
  std::vector<std::string> entries;
  while (static_cast<int>(entries.size()) < count) {
    std::string entry;
    int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) {
      if (random() % 3 == 0) {
        entry += pieces[random() % pieces.size()];
      } else {
        entry += static_cast<char>(0x20 + random() % 0x5F);
      }
    }
    if (entry.find(kListSeparator) == std::string::npos) entries.push_back(entry);
  }
  return entries;
}

std::string randomBytes(std::mt19937& random, size_t size, bool withZero) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(withZero ? random() % 256 : 1 + random() % 255);
  return bytes;
}

// A body of `fillerSize` bytes of the repeated filler, then the tail, made piece by piece.
std::function<std::string(std::uint64_t, size_t)> fillerThen(std::string filler, std::uint64_t fillerSize,
                                                             std::string tail) {
  return [=](std::uint64_t offset, size_t wanted) {
    if (offset >= fillerSize) return tail.substr(static_cast<size_t>(offset - fillerSize), wanted);
    size_t take = static_cast<size_t>(std::min<std::uint64_t>(wanted, fillerSize - offset));
    std::string piece;
    piece.reserve(take);
    for (size_t at = static_cast<size_t>(offset % filler.size()); piece.size() < take; at = 0)
      piece.append(filler, at, take - piece.size());
    return piece;
  };
}

int reliabilityRounds(int byDefault) {
  const char* given = std::getenv("QUORVELIP_RELIABILITY_ROUNDS");
  int rounds = given ? std::atoi(given) : 0;
  return rounds > 0 ? rounds : byDefault;
}

struct ClickOutcome {
  int boxes = 0;
  ULONGLONG handlerMs = 0;         // how long the click kept the GUI thread
  ULONGLONG longestSilenceMs = 0;  // the longest the window went without answering
  bool answeredAfter = false;      // it answered once the handler had returned
};

class ReliabilityExtractTest : public MainWindowTest {
 protected:
  static unsigned short servicePort() { return static_cast<unsigned short>(urlPort(QUORVELIP_SERVICE_URL)); }
  static HWND list() { return control("编辑框1"); }

  void SetUp() override {
    setControlText(control("编辑框_DQ"), "");
    setControlText(control("编辑框_SL"), "20");
    setControlText(control("编辑框_DK"), "18186");
    setControlText(control("编辑框_KT"), "11");
    setControlText(control("组合框1"), "全部运营商");
    // Whatever the previous case left: every click must empty the box first.
    setControlText(list(), "left over from before\r\n");
  }

  // Clicks "提取" while another thread keeps asking the window whether it is there.
  static ClickOutcome click() {
    ClickOutcome outcome;
    ResponsivenessProbe probe(window());
    pumpMessages(50);
    BoxWatcher watcher;
    ULONGLONG start = GetTickCount64();
    SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
    ULONGLONG end = GetTickCount64();
    watcher.stop();
    // Back in the message loop: the window must answer again at once.
    pumpMessages(150);
    probe.stop();
    outcome.boxes = watcher.boxesSeen();
    outcome.handlerMs = end - start;
    outcome.longestSilenceMs = probe.longestSilenceMs();
    outcome.answeredAfter = probe.lastAnswerAt() >= end;
    return outcome;
  }

  // Clicks "保存" and checks the file holds the list as it stands, and the box confirmed it.
  static void expectSaved(const std::string& listed) {
    DeleteFileA("ip.txt");
    BoxWatcher watcher;
    SendMessageA(control("按钮2"), BM_CLICK, 0, 0);
    watcher.stop();
    EXPECT_EQ(watcher.boxesSeen(), 1);
    EXPECT_EQ(watcher.text(), "保存代理ip成功");
    std::string saved = fileBytes("ip.txt");
    EXPECT_EQ(saved.size(), listed.size() + 4);
    EXPECT_TRUE(saved == listed + "\r\n\r\n") << "ip.txt differs from the list";
  }

  // The common ending of every case: no box, a window that answers, the expected list, a save.
  static void expectSurvived(const ClickOutcome& outcome, const std::string& expected, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(outcome.boxes, 0);
    EXPECT_TRUE(outcome.answeredAfter) << "the window does not answer after the click";
    std::string listed = controlText(list());
    EXPECT_EQ(listed.size(), expected.size());
    EXPECT_TRUE(listed == expected) << "the list differs from what the reply gives";
    expectSaved(listed);
    std::printf("  %-34s handler %5llu ms, window silent at most %5llu ms\n", what, outcome.handlerMs,
                outcome.longestSilenceMs);
  }
};

TEST_F(ReliabilityExtractTest, BrokenExchangesListNothing) {
  {
    // Nothing listens on the service's port: it can be taken, and is let go again.
    ASSERT_TRUE(FaultyServer(serverScript::closeSilently(), servicePort()).listening()) << "the port is taken";
    expectSurvived(click(), "", "refused connection");
  }
  // The connection dies before the end marker (and the last entries) arrive, whichever way it dies.
  Listing listing = listingOf(addressEntries(200));
  std::string whole = httpReply(pageAround(listing.list));
  std::string cut = whole.substr(0, whole.size() - 200);
  const std::vector<std::pair<const char*, ConnectionScript>> cases = {
      {"closed without a byte", serverScript::closeSilently()},
      {"empty reply", serverScript::reply(httpReply(""))},
      {"reset mid-body", serverScript::sendThenReset(cut)},
      {"closed mid-body", serverScript::reply(cut)},
      {"head only, reset", serverScript::sendThenReset("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n")},
  };
  for (const auto& [what, script] : cases) {
    FaultyServer service(script, servicePort());
    ASSERT_TRUE(service.listening()) << "port " << servicePort() << " is taken";
    expectSurvived(click(), "", what);
    EXPECT_GE(service.connections(), 1) << what;
  }
}

TEST_F(ReliabilityExtractTest, GarbledRepliesGiveExactlyWhatTheMarkersHold) {
  std::mt19937 random(20240611);
  const std::string start = kListStartMarker;
  const std::string end = kListEndMarker;

  std::string noise = randomBytes(random, 64 * 1024, true);
  ASSERT_EQ(noise.find(start), std::string::npos);
  Listing scrambled = listingOf(scrambledEntries(random, 300), false);
  Listing closed = listingOf(scrambledEntries(random, 300), true);
  Listing plain = listingOf({"a:1", "b:2"});

  struct Case {
    const char* what;
    std::string reply;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"random bytes, no HTTP head", noise, ""},
      {"random bytes as the body", httpReply(noise), ""},
      {"scrambled entries in random bytes",
       httpReply(randomBytes(random, 5000, false) + pageAround(scrambled.list) + randomBytes(random, 5000, true)),
       scrambled.expected},
      {"scrambled entries, closing separator", httpReply(pageAround(closed.list)), closed.expected},
      {"no start marker", httpReply("<p>" + plain.list + end), ""},
      {"end marker before the start marker only", httpReply(end + "x:1<BR>" + start + plain.list), ""},
      {"start marker twice", httpReply(start + "a:1<BR>" + start + "b:2<BR>" + end), "a:1\r\n" + start + "b:2\r\n"},
      {"end marker twice", httpReply(start + plain.list + end + "c:3<BR>" + end), plain.expected},
      {"lower-case separators", httpReply(pageAround("a:1<br>b:2<Br>c:3")), "a:1<br>b:2<Br>c:3\r\n"},
      {"zero byte before the end marker", httpReply(start + plain.list + std::string(1, '\0') + end), ""},
  };
  FaultyServer service(serverScript::reply(""), servicePort());
  ASSERT_TRUE(service.listening()) << "port " << servicePort() << " is taken";
  for (const Case& item : cases) {
    service.setScript(serverScript::reply(item.reply));
    expectSurvived(click(), item.expected, item.what);
  }
}

TEST_F(ReliabilityExtractTest, HundredThousandEntriesAllArrive) {
  Listing listing = listingOf(addressEntries(100000));
  FaultyServer service(serverScript::reply(httpReply(pageAround(listing.list))), servicePort());
  ASSERT_TRUE(service.listening());
  MemoryWatch memory;
  ClickOutcome outcome = click();
  memory.stop();
  DWORD start = 0, end = 0;
  SendMessageA(list(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, listing.expected.size()) << "caret at the end";
  EXPECT_EQ(end, listing.expected.size());
  EXPECT_FALSE(SendMessageA(list(), EM_CANUNDO, 0, 0)) << "appending leaves no undo step";
  expectSurvived(outcome, listing.expected, "100,000 entries");
  std::printf("  100,000 entries (%.1f MiB of list): private bytes peak %.1f MiB above the start\n",
              listing.list.size() / double(kMiB), memory.peakGrowth() / double(kMiB));
}

// 50 MiB of page around a short list, streamed so that the server holds no copy: the peak of the
// process's private bytes during the click is the program's own.
TEST_F(ReliabilityExtractTest, FiftyMegabyteReplyIsCutLikeAnyOther) {
  Listing listing = listingOf(addressEntries(1000));
  const std::string tail = "<h4 cla" + std::string(kListStartMarker) + listing.list + kListEndMarker + "</html>";
  const std::string filler = "<tr><td>113.0.2.1</td><td>18186</td><td>filler row</td></tr>\r\n";
  const std::uint64_t size = 50 * kMiB;
  FaultyServer service(serverScript::streamBody(size, fillerThen(filler, size - tail.size(), tail)), servicePort());
  ASSERT_TRUE(service.listening());
  MemoryWatch memory;
  ClickOutcome outcome = click();
  memory.stop();
  expectSurvived(outcome, listing.expected, "50 MiB reply");
  std::printf("  50 MiB reply: private bytes %.1f MiB before, peak %.1f MiB above (%.2f times the reply)\n",
              memory.atStart() / double(kMiB), memory.peakGrowth() / double(kMiB), memory.peakGrowth() / double(size));
  // The body, its text copy and the growth of the body buffer: about three copies at most.
  EXPECT_LT(memory.peakGrowth(), 4 * size);
}

// A server that takes the connection and then says nothing: the click must come back on its own.
TEST_F(ReliabilityExtractTest, SilentServerLetsTheWindowGoWithinTheTimeout) {
  FaultyServer service(serverScript::neverAnswer(), servicePort());
  ASSERT_TRUE(service.listening());
  ClickOutcome outcome = click();
  expectSurvived(outcome, "", "accepted, never answered");
  // The request gives up after its 30 s receive timeout; a minute means it does not give up.
  EXPECT_LT(outcome.handlerMs, 60000u);
  EXPECT_EQ(service.connections(), 1);
  // And it lets the connection go rather than leaving it open.
  for (int i = 0; i < 100 && !service.clientClosedLast(); ++i) Sleep(20);
  EXPECT_TRUE(service.clientClosedLast());
}

// Many clicks, good replies and bad: nothing grows.
TEST_F(ReliabilityExtractTest, RepeatedExtractionsLeakNothing) {
  const int rounds = reliabilityRounds(60);
  Listing good = listingOf(addressEntries(20));
  const std::vector<ConnectionScript> scripts = {
      serverScript::reply(httpReply(pageAround(good.list))),
      serverScript::closeSilently(),
      serverScript::reply(httpReply("<html>no list</html>")),
      serverScript::sendThenReset(httpReply(pageAround(good.list)).substr(0, 300)),
  };
  FaultyServer service(scripts[0], servicePort());
  ASSERT_TRUE(service.listening());
  // Warm up: first-use binding, WinINet's own caches, the box's buffers.
  for (const ConnectionScript& script : scripts) {
    service.setScript(script);
    SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
  }
  pumpMessages(100);
  DWORD gdiBefore = gdiHandleCount();
  ASSERT_GT(gdiBefore, 0u) << "the GDI count is readable";
  DWORD windowsBefore = windowCount();
  size_t privateBefore = privateBytes();
  int wrong = 0;
  ULONGLONG started = GetTickCount64();
  for (int round = 0; round < rounds; ++round) {
    size_t which = static_cast<size_t>(round) % scripts.size();
    service.setScript(scripts[which]);
    SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
    pumpMessages(1);
    if (controlText(list()) != (which == 0 ? good.expected : std::string())) ++wrong;
  }
  ULONGLONG took = GetTickCount64() - started;
  pumpMessages(100);
  DWORD gdiAfter = gdiHandleCount();
  DWORD windowsAfter = windowCount();
  size_t privateAfter = privateBytes();
  std::printf(
      "  %d extractions in %llu ms: GDI objects %lu -> %lu, windows %lu -> %lu, private bytes "
      "%.1f -> %.1f MiB\n",
      rounds, took, gdiBefore, gdiAfter, windowsBefore, windowsAfter, privateBefore / double(kMiB),
      privateAfter / double(kMiB));
  EXPECT_EQ(wrong, 0) << "rounds whose list was not what the reply gives";
  EXPECT_EQ(gdiAfter, gdiBefore);
  EXPECT_EQ(windowsAfter, windowsBefore);
  // Growth that scales with the rounds is a leak; a few MiB of heap settling is not.
  EXPECT_LT(privateAfter, privateBefore + 4 * kMiB);
  expectSaved(controlText(list()));
}

}  // namespace

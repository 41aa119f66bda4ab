#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "fakeProxies.h"
#include "service/serviceOptions.h"
#include "service/sources/fetchSource.h"
#include "service/sources/importCommand.h"
#include "service/sources/poolFile.h"
#include "service/sources/proxyList.h"
#include "service_testing.h"

namespace {

std::vector<std::string> addressesOf(const ProxyList& list) {
  std::vector<std::string> result;
  for (const NewProxy& proxy : list.proxies) result.push_back(proxy.address + ":" + std::to_string(proxy.port));
  return result;
}

TEST(ServiceImport, ReadsBothLineKindsAndListsPoolLinesInterleavedSoThatListsMixThem) {
  ProxyList list = parseProxyList(utf8(u8"\xEF\xBB\xBF# a list from somewhere\r\n"
                                       u8"1.45.3.7:8080\r\n"
                                       u8"\n"
                                       u8"113.0.2.0/30 18186 广东广州 电信\n"
                                       u8"   27.109.124.1:3128   \n"
                                       u8"198.51.100.254/31\t80\t北京\t移动\n"
                                       u8"198.51.100.7/32 8080 上海 联通"),
                                  nullptr);
  EXPECT_TRUE(list.problems.empty());
  ASSERT_EQ(addressesOf(list),
            (std::vector<std::string>{"1.45.3.7:8080", "27.109.124.1:3128", "113.0.2.1:18186", "198.51.100.254:80",
                                      "198.51.100.7:8080", "113.0.2.2:18186", "198.51.100.255:80"}));
  // Pool lines keep their own region and carrier, in UTF-8; without a region database the
  // address:port lines have none.
  EXPECT_EQ(list.proxies[3].province, utf8(u8"北京"));
  EXPECT_EQ(list.proxies[3].carrier, utf8(u8"移动"));
  EXPECT_EQ(list.proxies[5].province, utf8(u8"广东广州"));
  EXPECT_EQ(list.proxies[0].province, "");
}

TEST(ServiceImport, SkipsEveryUnusableLineAndSaysWhichAndWhy) {
  const std::string fields = "expected 4 fields: address port region carrier";
  const std::string block = "bad address or block";
  const std::string text = "not UTF-8, or a character GBK lacks";
  const std::pair<std::u8string_view, std::string> bad[] = {
      {u8"1.45.3.8:0", "bad port"},
      {u8"01.45.3.9:80", "bad address"},
      {u8"1.2.3:80", "bad address"},
      {u8"1.45.3.10:80 extra", fields},
      {u8"113.0.2.2 18186 广东广州", fields},
      {u8"113.0.2.3 18186 广东 广州 电信", fields},
      {u8"256.0.2.4 18186 北京 电信", block},
      {u8"113.00.2.5 18186 北京 电信", block},
      {u8"113.0.2 18186 北京 电信", block},
      {u8"113.0.2.1/24 80 北京 电信", block},  // host bits set
      {u8"113.0.0.0/8 80 北京 电信", block},   // too large a block
      {u8"113.0.2.0/33 80 北京 电信", block},
      {u8"113.0.2.7 0 北京 电信", "bad port"},
      {u8"113.0.2.8 65536 北京 电信", "bad port"},
      {u8"113.0.2.9 80x 北京 电信", "bad port"},
      {u8"113.0.2.10 80 北京 铁通", "unknown carrier"},
      {u8"113.0.2.11 80 北京\xFF 电信", text},
      {u8"113.0.2.12 80 北京😀 电信", text},
  };
  std::string lines = "113.0.2.1 18186 " + utf8(u8"广东广州 电信") + "\n";
  std::vector<std::string> problems;
  for (const auto& [line, reason] : bad) {
    lines += utf8(line) + "\n";
    problems.push_back("line " + std::to_string(problems.size() + 2) + ": " + reason);
  }
  ProxyList list = parseProxyList(lines + "192.0.2.200 65535 " + utf8(u8"上海 联通"), nullptr);
  EXPECT_EQ(addressesOf(list), (std::vector<std::string>{"113.0.2.1:18186", "192.0.2.200:65535"}));
  EXPECT_EQ(list.problems, problems);
}

// Through the pool file's own reader: the import's conversion of 200,000 entries to UTF-8 would only
// slow the test.
TEST(ServiceImport, StopsGrowingAtThePoolLimit) {
  PoolLoad load =
      parsePool(utf8(u8"110.0.0.0/16 80 北京 电信\n111.0.0.0/16 80 北京 电信\n"
                     u8"112.0.0.0/16 80 北京 电信\n113.0.0.0/16 80 北京 电信\n"
                     u8"192.0.2.1 80 北京 电信\n"));
  EXPECT_EQ(load.entries.size(), 3u * 65534u + 1u);
  EXPECT_EQ(load.entries.back().address, "112.0.255.254") << "a block's broadcast address is left out";
  ASSERT_EQ(load.warnings.size(), 1u);
  EXPECT_TRUE(load.warnings[0].starts_with("line 4: pool full")) << load.warnings[0];
}

TEST(ServiceImport, MergesSourcesIntoTheStoreAndSaysWhatItDid) {
  TempFolder folder;
  std::string first = folder.write("first.txt", "1.45.3.7:8080\n1.45.3.7:8080\nnonsense\n27.109.124.1:3128\n");
  std::string second = folder.write("second.txt", "27.109.124.1:3128\n39.170.20.30:80\n");
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  Captured out;
  Captured errors;
  EXPECT_EQ(runImport(*store, {first, second, folder.file("missing.txt")}, nullptr, out.file, errors.file), 1);
  EXPECT_EQ(out.text(), first + ": added 2, merged 1, skipped 1\n" + second + ": added 1, merged 1, skipped 0\n" +
                            "3 entries in the pool\n");
  EXPECT_EQ(errors.text(), first + ": line 3: expected 4 fields: address port region carrier\n" +
                               folder.file("missing.txt") + ": cannot open\n");
  EXPECT_EQ(store->all().at(2).source, second);
}

// A reader must never wait for a writer that may never come: FIFOs, devices, sockets and folders are
// refused before anything is read.
TEST(ServiceImport, RefusesASourceThatIsNoRegularFileWithoutBlocking) {
  TempFolder folder;
  std::string fifo = folder.file("list.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string socketPath = folder.file("list.socket");
  int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::pair<std::string, std::string> cases[] = {{fifo, "not a regular file (a FIFO)"},
                                                       {socketPath, "not a regular file (a socket)"},
                                                       {"/dev/null", "not a regular file (a device)"},
                                                       {folder.file("."), "not a regular file (a folder)"}};
  for (const auto& [path, reason] : cases) {
    std::future<SourceContent> reading = std::async(std::launch::async, [&] { return readSource(path); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << path << ": still blocked after 10 s";
      int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);  // lets a reader stuck on the FIFO go
      if (writer >= 0) close(writer);
    }
    SourceContent content = reading.get();
    EXPECT_FALSE(content.ok) << path;
    EXPECT_EQ(content.error, reason) << path;
  }
  close(listening);
}

// One address of each kind, and blocks of two.
const std::string kMixed =
    "1.45.3.7:8080\n"
    "10.0.0.1:80\n"
    "127.0.0.2:80\n"
    "0.1.2.3:80\n"
    "224.0.0.1:80\n"
    "255.255.255.255:80\n" +
    utf8(
        u8"192.168.1.0/30 80 北京 电信\n"
        u8"192.0.2.7 80 上海 联通\n") +
    "240.0.0.1:80\n"
    "100.64.0.1:80\n"
    "169.254.1.1:80\n" +
    utf8(u8"27.109.124.0/30 80 上海 联通\n");

// A loopback web server with one page of each kind a source address may give.
class SourceServer : public testing::Test {
 protected:
  std::string url(const std::string& path) const { return server_.url(path); }

  LoopbackServer server_{[](const HttpRequest& request) {
    auto text = [](std::string body) {
      return HttpAnswer{200, "text/plain", std::make_shared<const std::string>(std::move(body)), {}};
    };
    if (request.target == "/list.txt") return text("1.45.3.7:8080\n27.109.124.1:3128\n");
    if (request.target == "/big.txt") return text(std::string(100000, '#'));
    if (request.target == "/mixed.txt") return text(kMixed);
    if (request.target == "/moved") return HttpAnswer{302, "text/plain", nullptr, "Location: /list.txt\r\n"};
    return HttpAnswer{404, "text/plain", nullptr, {}};
  }};
};

TEST_F(SourceServer, FetchesAnAddressUpToTheSizeCap) {
  SourceContent list = readSource(url("/list.txt"));
  ASSERT_TRUE(list.ok) << list.error;
  EXPECT_EQ(list.content, "1.45.3.7:8080\n27.109.124.1:3128\n");
  SourceContent moved = readSource(url("/moved"));
  EXPECT_TRUE(moved.ok && moved.content == list.content) << moved.error;

  SourceContent big = readSource(url("/big.txt"), 65536);
  EXPECT_FALSE(big.ok);
  EXPECT_TRUE(big.content.empty());
  EXPECT_EQ(big.error, "larger than 65536 bytes");
  EXPECT_TRUE(readSource(url("/big.txt"), 100000).ok);

  SourceContent missing = readSource(url("/none"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, "HTTP status 404");
  EXPECT_FALSE(readSource("http://127.0.0.1:" + std::to_string(server_.port()) + "0000/").ok) << "bad port";
}

TEST_F(SourceServer, ImportsFromAnAddress) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  Captured out;
  Captured errors;
  EXPECT_TRUE(importSource(*store, url("/list.txt"), nullptr, out.file, errors.file));
  EXPECT_EQ(out.text(), url("/list.txt") + ": added 2, merged 0, skipped 0\n");
  EXPECT_EQ(store->all().at(0).source, url("/list.txt"));
}

TEST_F(SourceServer, RefusesAddressesNoHostHasAndThoseOfLocalNetworksFromTheWeb) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  Captured out;
  Captured errors;
  EXPECT_TRUE(importSource(*store, url("/mixed.txt"), nullptr, out.file, errors.file));
  const std::string web = "): refused from a web source (--allow-private takes it)\n";
  const std::string never = "): never imported\n";
  const std::string line = url("/mixed.txt") + ": line ";
  EXPECT_EQ(errors.text(), line + "2: 10.0.0.1 (private" + web + line + "3: 127.0.0.2 (loopback" + web + line +
                               "4: 0.1.2.3 (this network" + never + line + "5: 224.0.0.1 (multicast" + never + line +
                               "6: 255.255.255.255 (broadcast" + never + line + "7: 192.168.1.1 (private" + web + line +
                               "8: 192.0.2.7 (documentation" + web + line + "9: 240.0.0.1 (reserved" + never + line +
                               "10: 100.64.0.1 (shared" + web + line + "11: 169.254.1.1 (link-local" + web);
  EXPECT_EQ(out.text(), url("/mixed.txt") + ": added 3, merged 0, skipped 10\n");
  std::vector<std::string> stored;
  for (const StoredProxy& proxy : store->all()) stored.push_back(proxy.address);
  EXPECT_EQ(stored, (std::vector<std::string>{"1.45.3.7", "27.109.124.1", "27.109.124.2"}));
}

TEST_F(SourceServer, TakesLocalNetworksFromTheWebWhenAllowedAndFromLocalFilesButNeverNoHostsAddresses) {
  TempFolder folder;
  const std::string sources[] = {url("/mixed.txt"), folder.write("mixed.txt", kMixed)};
  for (const ImportSettings settings : {ImportSettings{.allowPrivate = true}, ImportSettings{}}) {
    for (const std::string& source : sources) {
      if (!settings.allowPrivate && source.starts_with("http")) continue;  // the test above
      std::unique_ptr<PoolStore> store = openStore(":memory:");
      Captured out;
      Captured errors;
      EXPECT_TRUE(importSource(*store, source, nullptr, out.file, errors.file, settings));
      EXPECT_EQ(out.text(), source + ": added 10, merged 0, skipped 4\n");
      EXPECT_EQ(errors.text(), source + ": line 4: 0.1.2.3 (this network): never imported\n" + source +
                                   ": line 5: 224.0.0.1 (multicast): never imported\n" + source +
                                   ": line 6: 255.255.255.255 (broadcast): never imported\n" + source +
                                   ": line 9: 240.0.0.1 (reserved): never imported\n");
    }
  }
  // The shipped pool's invented and documentation addresses come from a local file: all of them.
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  Captured out;
  Captured errors;
  std::string pool = (sourceFolder() / "service" / "pool.txt").string();
  EXPECT_TRUE(importSource(*store, pool, nullptr, out.file, errors.file));
  EXPECT_EQ(out.text(), pool + ": added 10772, merged 0, skipped 0\n");
  EXPECT_EQ(errors.text(), "");
}

TEST(ServiceOptions, ImportAndServeTakeTheAddressRuleAndTheCap) {
  std::optional<ServiceOptions> import =
      parseServiceOptions({"import", "--allow-private", "--max-entries", "1000", "a.txt"}, "");
  ASSERT_TRUE(import);
  EXPECT_TRUE(import->allowPrivate);
  EXPECT_EQ(import->maxEntries, 1000u);
  std::optional<ServiceOptions> serve = parseServiceOptions({"--max-entries", "7", "--allow-private"}, "");
  ASSERT_TRUE(serve);
  EXPECT_TRUE(serve->allowPrivate);
  EXPECT_EQ(serve->maxEntries, 7u);
  std::optional<ServiceOptions> defaults = parseServiceOptions({"import", "a.txt"}, "");
  ASSERT_TRUE(defaults);
  EXPECT_FALSE(defaults->allowPrivate);
  EXPECT_EQ(defaults->maxEntries, 5000000u);
  for (const std::vector<std::string_view>& bad : std::vector<std::vector<std::string_view>>{
           {"import", "--max-entries", "0", "a.txt"},
           {"import", "--max-entries", "x", "a.txt"},
           {"import", "--max-entries", "1000000000", "a.txt"},
           {"import", "a.txt", "--max-entries"},
           {"check", "--check-url", "http://127.0.0.1/", "--allow-private"},
           {"check", "--check-url", "http://127.0.0.1/", "--max-entries", "5"}}) {
    EXPECT_FALSE(parseServiceOptions(bad, "").has_value()) << bad.back();
  }
}

}  // namespace

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/fetchSource.h"
#include "service/importCommand.h"
#include "service/proxyList.h"
#include "service_testing.h"

namespace {

std::vector<std::string> addressesOf(const ProxyList& list) {
  std::vector<std::string> result;
  for (const NewProxy& proxy : list.proxies) result.push_back(proxy.address + ":" + std::to_string(proxy.port));
  return result;
}

TEST(ServiceImport, ReadsBothLineKindsAndReportsBadLinesByNumber) {
  std::string text = utf8(
      u8"\xEF\xBB\xBF# a list from somewhere\r\n"
      u8"1.45.3.7:8080\r\n"
      u8"\n"
      u8"113.0.2.0/30 18186 广东广州 电信\n"
      u8"1.45.3.8:0\n"
      u8"01.45.3.9:80\n"
      u8"1.45.3.10:80 extra\n"
      u8"   27.109.124.1:3128   \n"
      u8"198.51.100.7 8080 北京 宽带\n"
      u8"1.2.3:80\n");
  ProxyList list = parseProxyList(text, nullptr);
  EXPECT_EQ(addressesOf(list),
            (std::vector<std::string>{"1.45.3.7:8080", "27.109.124.1:3128", "113.0.2.1:18186", "113.0.2.2:18186"}));
  EXPECT_EQ(list.problems, (std::vector<std::string>{"line 5: bad port", "line 6: bad address",
                                                     "line 7: expected 4 fields: address port region carrier",
                                                     "line 9: unknown carrier", "line 10: bad address"}));
  // Pool lines keep their own region and carrier, in UTF-8; without a region database the
  // address:port lines have none.
  EXPECT_EQ(list.proxies[2].province, utf8(u8"广东广州"));
  EXPECT_EQ(list.proxies[2].carrier, utf8(u8"电信"));
  EXPECT_EQ(list.proxies[0].province, "");
}

// The content of a file, written in a temporary folder.
std::string writeFile(const TempFolder& folder, const std::string& name, const std::string& content) {
  std::string path = folder.file(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// What a FILE* received.
struct Captured {
  Captured() : file(std::tmpfile()) {}
  ~Captured() { std::fclose(file); }
  std::string text() {
    std::fflush(file);
    std::rewind(file);
    std::string result;
    for (int c; (c = std::fgetc(file)) != EOF;) result += static_cast<char>(c);
    return result;
  }
  std::FILE* file;
};

TEST(ServiceImport, MergesSourcesIntoTheStoreAndSaysWhatItDid) {
  TempFolder folder;
  std::string first = writeFile(folder, "first.txt", "1.45.3.7:8080\n1.45.3.7:8080\nnonsense\n27.109.124.1:3128\n");
  std::string second = writeFile(folder, "second.txt", "27.109.124.1:3128\n39.170.20.30:80\n");
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(":memory:", error);
  Captured out;
  Captured errors;
  EXPECT_EQ(runImport(*store, {first, second, folder.file("missing.txt")}, nullptr, out.file, errors.file), 1);
  EXPECT_EQ(out.text(), first + ": added 2, merged 1, skipped 1\n" + second + ": added 1, merged 1, skipped 0\n" +
                            "3 entries in the pool\n");
  EXPECT_EQ(errors.text(), first + ": line 3: expected 4 fields: address port region carrier\n" +
                               folder.file("missing.txt") + ": cannot open\n");
  EXPECT_EQ(store->all().at(2).source, second);
}

// A loopback web server with one page of each kind a source address may give.
class SourceServer : public testing::Test {
 protected:
  void SetUp() override {
    server_.Get("/list.txt", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("1.45.3.7:8080\n27.109.124.1:3128\n", "text/plain");
    });
    server_.Get("/big.txt", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(100000, '#'), "text/plain");
    });
    server_.Get("/moved",
                [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/list.txt"); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    for (int waited = 0; !server_.is_running() && waited < 5000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void TearDown() override {
    server_.stop();
    listener_.join();
  }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  httplib::Server server_;
  std::thread listener_;
  int port_ = 0;
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
  EXPECT_FALSE(readSource("http://127.0.0.1:" + std::to_string(port_ + 0) + "0000/").ok) << "bad port";
}

TEST_F(SourceServer, ImportsFromAnAddress) {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(":memory:", error);
  Captured out;
  Captured errors;
  EXPECT_TRUE(importSource(*store, url("/list.txt"), nullptr, out.file, errors.file));
  EXPECT_EQ(out.text(), url("/list.txt") + ": added 2, merged 0, skipped 0\n");
  EXPECT_EQ(store->all().at(0).source, url("/list.txt"));
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "service/proxyPool.h"

namespace {

// The pool file is UTF-8 while this file's literals are GBK, so the file texts below use u8"".
std::string utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

std::vector<std::string> addressesOf(const PoolLoad& load) {
  std::vector<std::string> result;
  for (const PoolEntry& entry : load.entries) result.push_back(entry.address);
  return result;
}

TEST(ServicePool, ReadsEntriesAndConvertsTextsToGbk) {
  PoolLoad load =
      parsePool(utf8(u8"\xEF\xBB\xBF# comment\r\n\r\n  113.0.2.1 18186 广东广州 电信\r\n"
                     u8"192.0.2.9\t8080\t北京\t移动"));
  EXPECT_TRUE(load.fileRead);
  EXPECT_TRUE(load.warnings.empty());
  ASSERT_EQ(load.entries.size(), 2u);
  EXPECT_EQ(load.entries[0].address, "113.0.2.1");
  EXPECT_EQ(load.entries[0].port, 18186);
  EXPECT_EQ(load.entries[0].region, "广东广州");
  EXPECT_EQ(load.entries[0].carrier, "电信");
  EXPECT_EQ(load.entries[1].address, "192.0.2.9");
  EXPECT_EQ(load.entries[1].region, "北京");
  EXPECT_EQ(load.entries[1].carrier, "移动");
}

TEST(ServicePool, SkipsBadLinesAndSaysWhichOnes) {
  PoolLoad load =
      parsePool(utf8(u8"113.0.2.1 18186 广东广州 电信\n"   // 1 good
                     u8"113.0.2.2 18186 广东广州\n"        // 2 three fields
                     u8"113.0.2.3 18186 广东 广州 电信\n"  // 3 five fields
                     u8"256.0.2.4 18186 北京 电信\n"       // 4
                     u8"113.00.2.5 18186 北京 电信\n"      // 5 leading zero
                     u8"113.0.2 18186 北京 电信\n"         // 6
                     u8"113.0.2.7 0 北京 电信\n"           // 7
                     u8"113.0.2.8 65536 北京 电信\n"       // 8
                     u8"113.0.2.9 80x 北京 电信\n"         // 9
                     u8"113.0.2.10 80 北京 铁通\n"         // 10
                     u8"113.0.2.11 80 北京\xFF 电信\n"     // 11 not UTF-8
                     u8"113.0.2.12 80 北京😀 电信\n"        // 12 no such character in GBK
                     u8"113.0.2.1/24 80 北京 电信\n"       // 13 host bits set
                     u8"113.0.0.0/8 80 北京 电信\n"        // 14 too large a block
                     u8"113.0.2.0/33 80 北京 电信\n"       // 15
                     u8"192.0.2.200 65535 上海 联通\n"));  // 16 good
  EXPECT_EQ(addressesOf(load), (std::vector<std::string>{"113.0.2.1", "192.0.2.200"}));
  ASSERT_EQ(load.warnings.size(), 14u);
  for (std::size_t index = 0; index < load.warnings.size(); ++index) {
    EXPECT_TRUE(load.warnings[index].starts_with("line " + std::to_string(index + 2) + ": ")) << load.warnings[index];
  }
}

TEST(ServicePool, ExpandsBlocksIntoTheirHostAddresses) {
  EXPECT_EQ(addressesOf(parsePool(utf8(u8"113.0.2.0/30 80 北京 电信"))),
            (std::vector<std::string>{"113.0.2.1", "113.0.2.2"}));
  EXPECT_EQ(addressesOf(parsePool(utf8(u8"113.0.2.254/31 80 北京 电信"))),
            (std::vector<std::string>{"113.0.2.254", "113.0.2.255"}));
  EXPECT_EQ(addressesOf(parsePool(utf8(u8"113.0.2.7/32 80 北京 电信"))), (std::vector<std::string>{"113.0.2.7"}));
  EXPECT_EQ(parsePool(utf8(u8"113.0.0.0/16 80 北京 电信")).entries.back().address, "113.0.255.254");
}

TEST(ServicePool, InterleavesLinesSoThatListsMixThem) {
  PoolLoad load =
      parsePool(utf8(u8"113.0.2.0/30 80 广东广州 电信\n"
                     u8"192.0.2.9 80 北京 移动\n"
                     u8"198.51.100.0/29 80 上海 联通\n"));
  EXPECT_EQ(addressesOf(load),
            (std::vector<std::string>{"113.0.2.1", "192.0.2.9", "198.51.100.1", "113.0.2.2", "198.51.100.2",
                                      "198.51.100.3", "198.51.100.4", "198.51.100.5", "198.51.100.6"}));
  EXPECT_EQ(load.entries[2].region, "上海");
  EXPECT_EQ(load.entries[3].carrier, "电信");
}

TEST(ServicePool, StopsGrowingAtTheLimit) {
  PoolLoad load =
      parsePool(utf8(u8"110.0.0.0/16 80 北京 电信\n111.0.0.0/16 80 北京 电信\n"
                     u8"112.0.0.0/16 80 北京 电信\n113.0.0.0/16 80 北京 电信\n"
                     u8"192.0.2.1 80 北京 电信\n"));
  EXPECT_EQ(load.entries.size(), 3u * 65534u + 1u);
  ASSERT_EQ(load.warnings.size(), 1u);
  EXPECT_TRUE(load.warnings[0].starts_with("line 4: pool full")) << load.warnings[0];
}

TEST(ServicePool, ReadsAFileAndReportsOneThatCannotBeRead) {
  std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / "qv_service_pool_test";
  std::filesystem::create_directories(folder);
  std::filesystem::path file = folder / "pool.txt";
  std::ofstream(file, std::ios::binary) << utf8(u8"113.0.2.1 18186 广东广州 电信\n");
  PoolLoad read = loadPool(file.string());
  EXPECT_TRUE(read.fileRead);
  EXPECT_EQ(addressesOf(read), (std::vector<std::string>{"113.0.2.1"}));

  std::ofstream(folder / "empty.txt", std::ios::binary);
  PoolLoad empty = loadPool((folder / "empty.txt").string());
  EXPECT_TRUE(empty.fileRead);
  EXPECT_TRUE(empty.entries.empty());

  for (const std::filesystem::path& unreadable : {folder / "missing.txt", folder}) {
    PoolLoad load = loadPool(unreadable.string());
    EXPECT_FALSE(load.fileRead) << unreadable;
    EXPECT_TRUE(load.entries.empty());
    ASSERT_EQ(load.warnings.size(), 1u);
    EXPECT_NE(load.warnings[0].find(unreadable.string()), std::string::npos);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "service/sources/ipRegion.h"
#include "service/store/ipv4.h"
#include "service_testing.h"

namespace {

// A database in the file's layout, built here so the reader's every check has a known answer.
struct Range {
  std::uint32_t start;
  std::uint32_t end;
  std::string record;  // the five fields, UTF-8
};

void putLittle32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string buildDb(const std::vector<Range>& ranges) {
  std::string bytes(8, '\0');  // super block
  std::vector<std::uint32_t> references;
  for (const Range& range : ranges) {
    std::uint32_t offset = static_cast<std::uint32_t>(bytes.size());
    bytes += std::string("\x07\x00\x00\x00", 4) + range.record;  // city id, then the record
    references.push_back(offset | static_cast<std::uint32_t>(4 + range.record.size()) << 24);
  }
  std::uint32_t first = static_cast<std::uint32_t>(bytes.size());
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    std::size_t at = bytes.size();
    bytes.resize(at + 12);
    putLittle32(bytes, at, ranges[i].start);
    putLittle32(bytes, at + 4, ranges[i].end);
    putLittle32(bytes, at + 8, references[i]);
  }
  putLittle32(bytes, 0, first);
  putLittle32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 12));
  return bytes;
}

std::uint32_t ip(const char* text) {
  return *parseIpv4(text);
}

const std::vector<Range> kRanges = {
    {ip("1.0.0.0"), ip("1.0.0.255"), utf8(u8"中国|0|福建省|福州市|电信")},
    {ip("1.0.1.0"), ip("1.0.3.255"), utf8(u8"澳大利亚|0|0|0|0")},
    {ip("1.45.0.0"), ip("1.45.255.255"), utf8(u8"中国|0|北京|北京市|联通")},
};

TEST(ServiceRegionDb, FindsTheRangeHoldingAnAddressAtItsEdgesAndInside) {
  IpRegionDb db(buildDb(kRanges));
  ASSERT_TRUE(db.valid());
  for (const char* address : {"1.45.0.0", "1.45.3.7", "1.45.255.255"}) {
    std::optional<IpRegion> found = db.lookup(ip(address));
    ASSERT_TRUE(found) << address;
    EXPECT_EQ(found->province, utf8(u8"北京"));
    EXPECT_EQ(found->city, utf8(u8"北京市"));
    EXPECT_EQ(found->carrier, utf8(u8"联通"));
  }
  std::optional<IpRegion> first = db.lookup(ip("1.0.0.0"));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->province, utf8(u8"福建省"));
  // "0" is the database's "unknown": it reads as empty.
  std::optional<IpRegion> abroad = db.lookup(ip("1.0.2.9"));
  ASSERT_TRUE(abroad);
  EXPECT_EQ(abroad->country, utf8(u8"澳大利亚"));
  EXPECT_EQ(abroad->province, "");
  EXPECT_EQ(abroad->carrier, "");
  // Between, before and after the ranges nothing is known.
  for (const char* address : {"0.255.255.255", "1.0.4.0", "1.46.0.0", "255.255.255.255"}) {
    EXPECT_FALSE(db.lookup(ip(address))) << address;
  }
}

TEST(ServiceRegionDb, KnowsNothingFromAMalformedFile) {
  std::string good = buildDb(kRanges);
  std::uint32_t firstIndex = static_cast<std::uint32_t>(good.size() - 3 * 12);

  EXPECT_FALSE(IpRegionDb("").valid());
  EXPECT_FALSE(IpRegionDb(good.substr(0, 7)).valid());
  EXPECT_FALSE(IpRegionDb(good.substr(0, good.size() - 1)).valid()) << "last index block cut short";
  std::string backwards = good;
  putLittle32(backwards, 4, firstIndex - 12);
  EXPECT_FALSE(IpRegionDb(backwards).valid()) << "last index before the first";
  std::string misaligned = good;
  putLittle32(misaligned, 4, static_cast<std::uint32_t>(good.size() - 12 - 5));
  EXPECT_FALSE(IpRegionDb(misaligned).valid());
  std::string huge = good;
  putLittle32(huge, 0, 0xFFFFFFF0u);
  putLittle32(huge, 4, 0xFFFFFFF0u);
  EXPECT_FALSE(IpRegionDb(huge).valid()) << "offsets near 4 GiB must not wrap";

  // A valid index whose record reference points outside the file, or at a record too short to
  // hold the city id, or at a record without five fields: the lookup finds nothing.
  std::string outside = good;
  putLittle32(outside, firstIndex + 2 * 12 + 8, static_cast<std::uint32_t>(good.size() - 4) | 40u << 24);
  EXPECT_FALSE(IpRegionDb(outside).lookup(ip("1.45.3.7")));
  std::string tiny = good;
  putLittle32(tiny, firstIndex + 2 * 12 + 8, 8u | 3u << 24);
  EXPECT_FALSE(IpRegionDb(tiny).lookup(ip("1.45.3.7")));
  std::vector<Range> fourFields = kRanges;
  fourFields[2].record = utf8(u8"中国|0|北京|联通");
  EXPECT_FALSE(IpRegionDb(buildDb(fourFields)).lookup(ip("1.45.3.7")));
}

TEST(ServiceRegionDb, AnswersFromTheRealDatabase) {
  const std::string path = regionDbPath();
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path << ": run scripts/setup";
  std::optional<IpRegionDb> db = loadIpRegionDb(path);
  ASSERT_TRUE(db);
  struct Known {
    const char* address;
    std::string province;
    std::string city;
    std::string carrier;
  };
  // Read from the file with an independent script: the ranges 1.45.0.0/16, 1.0.8.0/21,
  // 39.170.0.0/17, 27.109.124.0/22.
  for (const Known& known : {Known{"1.45.3.7", utf8(u8"北京"), utf8(u8"北京市"), utf8(u8"联通")},
                             Known{"1.0.8.1", utf8(u8"广东省"), utf8(u8"广州市"), utf8(u8"电信")},
                             Known{"39.170.20.30", utf8(u8"浙江省"), utf8(u8"杭州市"), utf8(u8"移动")},
                             Known{"27.109.127.255", utf8(u8"上海"), utf8(u8"上海市"), utf8(u8"电信")}}) {
    std::optional<IpRegion> found = db->lookup(ip(known.address));
    ASSERT_TRUE(found) << known.address;
    EXPECT_EQ(found->country, utf8(u8"中国")) << known.address;
    EXPECT_EQ(found->province, known.province) << known.address;
    EXPECT_EQ(found->city, known.city) << known.address;
    EXPECT_EQ(found->carrier, known.carrier) << known.address;
  }
  // The whole address space is covered: even the last address has a record.
  EXPECT_TRUE(db->lookup(ip("255.255.255.255")));
  EXPECT_FALSE(loadIpRegionDb(path + ".missing"));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/filterPool.h"

namespace {

const std::vector<PoolEntry>& samplePool() {
  static const std::vector<PoolEntry> pool = {
      {"113.0.2.1", 18186, "广东广州", "电信", ""},    {"113.0.2.2", 8080, "广东深圳", "联通", ""},
      {"114.51.100.3", 18186, "福建福州", "移动", ""}, {"192.0.2.4", 18186, "北京", "电信", "北京市"},
      {"11.0.113.5", 18186, "广东广州", "联通", ""},   {"198.51.100.6", 3128, "上海", "移动", "上海市"},
  };
  return pool;
}

std::vector<std::string> addresses(const ExtractRequest& request) {
  std::vector<std::string> result;
  for (const PoolEntry* entry : filterPool(samplePool(), request)) result.push_back(entry->address);
  return result;
}

ExtractRequest wanting(int count) {
  ExtractRequest request;
  request.count = count;
  return request;
}

using Addresses = std::vector<std::string>;

TEST(ServiceFilter, WithoutFiltersTakesTheFirstEntriesInPoolOrder) {
  EXPECT_EQ(addresses(wanting(2)), (Addresses{"113.0.2.1", "113.0.2.2"}));
  EXPECT_EQ(addresses(wanting(100)).size(), samplePool().size());
  EXPECT_TRUE(addresses(wanting(0)).empty());
}

TEST(ServiceFilter, PortMustMatchExactly) {
  ExtractRequest request = wanting(10);
  request.port = 8080;
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.2"}));
  request.port = 808;
  EXPECT_TRUE(addresses(request).empty());
}

TEST(ServiceFilter, AddressPrefixMatchesTheLeadingBytes) {
  ExtractRequest request = wanting(10);
  request.addressPrefix = "11";
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.1", "113.0.2.2", "114.51.100.3", "11.0.113.5"}));
  request.addressPrefix = "11.";
  EXPECT_EQ(addresses(request), (Addresses{"11.0.113.5"}));
  request.addressPrefix = "0.2";
  EXPECT_TRUE(addresses(request).empty());
}

TEST(ServiceFilter, RegionMatchesAnywhereInTheRegion) {
  ExtractRequest request = wanting(10);
  request.region = "广东";
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.1", "113.0.2.2", "11.0.113.5"}));
  request.region = "州";
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.1", "114.51.100.3", "11.0.113.5"}));
  request.region = "广东广州市";
  EXPECT_TRUE(addresses(request).empty());
  // Province and city are matched each on its own, never across the two.
  request.region = "市";
  EXPECT_EQ(addresses(request), (Addresses{"192.0.2.4", "198.51.100.6"}));
  request.region = "北京市";
  EXPECT_EQ(addresses(request), (Addresses{"192.0.2.4"}));
  request.region = "京北";
  EXPECT_TRUE(addresses(request).empty());
}

TEST(ServiceFilter, RegionNeverMatchesAcrossCharacterBoundaries) {
  const Text region = "广东";                   // B9 E3 B6 AB
  const Text straddling = region.substr(1, 2);  // E3 B6 is itself a GBK character
  ASSERT_NE(region.find(straddling), Text::npos);
  EXPECT_FALSE(containsGbk(region, straddling));
  EXPECT_FALSE(containsGbk(region, region.substr(0, 3)));  // ends on the lead byte of 东
  EXPECT_TRUE(containsGbk("a广东", "东"));
  EXPECT_TRUE(containsGbk("广东", ""));
  ExtractRequest request = wanting(10);
  request.region = straddling;
  EXPECT_TRUE(addresses(request).empty());
}

TEST(ServiceFilter, CarrierMatchesTheWholeGbkName) {
  ExtractRequest request = wanting(10);
  request.carrier = "电信";
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.1", "192.0.2.4"}));
  request.carrier = "移动";
  EXPECT_EQ(addresses(request), (Addresses{"114.51.100.3", "198.51.100.6"}));
  request.carrier = "全部运营商";
  EXPECT_TRUE(addresses(request).empty());
  request.carrier = "电";
  EXPECT_TRUE(addresses(request).empty());
}

TEST(ServiceFilter, CombinedFiltersMustAllPass) {
  ExtractRequest request = wanting(10);
  request.port = 18186;
  request.addressPrefix = "11";
  request.region = "广州";
  EXPECT_EQ(addresses(request), (Addresses{"113.0.2.1", "11.0.113.5"}));
  request.carrier = "联通";
  EXPECT_EQ(addresses(request), (Addresses{"11.0.113.5"}));
  request.count = 0;
  EXPECT_TRUE(addresses(request).empty());
}

}  // namespace

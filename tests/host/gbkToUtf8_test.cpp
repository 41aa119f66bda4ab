#include "text/gbkToUtf8.h"

#include <gtest/gtest.h>

#include "tests/common/gbkCases.h"

namespace {

std::string asBytes(std::u8string_view utf8) {
  return std::string(reinterpret_cast<const char*>(utf8.data()), utf8.size());
}

TEST(GbkToUtf8, ConvertsTheSharedCasesAsCodePage936Does) {
  for (const GbkCase& c : kGbkCases) EXPECT_EQ(gbkToUtf8(c.gbk), asBytes(c.utf8)) << c.what;
}

TEST(GbkToUtf8, AgreesWithCodePage936OnEveryOneAndTwoByteInput) {
  EXPECT_EQ(codePageDigest([](std::string_view input) { return gbkToUtf8(input); }), kCodePageDigest);
}

}  // namespace

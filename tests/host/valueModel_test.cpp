// The value model: 1-based checked arrays, text/byte-set conversions, the runtime error text.
#include <gtest/gtest.h>

#include "toolkit/valueModel.h"

namespace {

TEST(Array, IsIndexedFromOne) {
  Array<Text> items{"a", "b"};
  items.append("c");
  EXPECT_EQ(items.count(), 3);
  EXPECT_EQ(items[1], "a");
  EXPECT_EQ(items[3], "c");
  items.remove(1);
  EXPECT_EQ(items[1], "b");
}

TEST(ArrayDeathTest, IndexBelowOneIsRuntimeErrorFour) {
  Array<int> items{1};
  EXPECT_EXIT(items[0], testing::ExitedWithCode(255), "错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1");
}

TEST(ArrayDeathTest, IndexAboveCountIsRuntimeErrorOne) {
  Array<int> items{1};
  EXPECT_EXIT(items[2], testing::ExitedWithCode(255), "错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围");
  Array<int> none;
  EXPECT_EXIT(none[1], testing::ExitedWithCode(255), "错误代码：1");
}

TEST(TextConversion, ToTextStopsAtTheFirstZeroByte) {
  EXPECT_EQ(toText(ByteSet{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(toText(ByteSet{'a', 'b'}), "ab");
  EXPECT_EQ(toText(ByteSet{0, 'a'}), "");
  EXPECT_EQ(toText(ByteSet{}), "");
}

TEST(TextConversion, ToBytesLeavesOutTheTerminatingZero) {
  EXPECT_EQ(toBytes("提取"), (ByteSet{0xCC, 0xE1, 0xC8, 0xA1}));
  EXPECT_TRUE(toBytes("").empty());
}

TEST(RuntimeErrorText, ShowsNumberAndMessageOnlyWhenGiven) {
  EXPECT_EQ(runtimeErrorText(6, "调用DLL命令后发现堆栈错误"),
            "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_EQ(runtimeErrorText(0, "载入启动窗口失败"), "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_EQ(runtimeErrorText(0, ""), "运行时出错!\r\n\r\n");
}

}  // namespace

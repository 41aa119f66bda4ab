// "保存": the list box's bytes plus four line-break bytes in ip.txt, confirmed only when written;
// a save that cannot finish leaves the previous ip.txt as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/saveHandler.h"
#include "support/boxWatcher.h"
#include "support/mainWindowFixture.h"
#include "support/scratchFiles.h"
#include "toolkit/controls.h"

namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD keptAttributes(const char* name) {
  return GetFileAttributesA(name) & kKeptAttributes;
}

class SaveTest : public MainWindowTest {
 protected:
  void SetUp() override { removeIpTxt(); }
  void TearDown() override { removeIpTxt(); }

  static void removeIpTxt() {
    SetFileAttributesA("ip.txt", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("ip.txt");
    RemoveDirectoryA("ip.txt");
  }

  static HWND list() { return control("编辑框1"); }

  // Runs the handler as a click would and returns the number of boxes shown, handing the
  // watcher's record to `inspect`; checks that nothing is left in the folder beside ip.txt.
  static int save(const std::function<void(const BoxWatcher&)>& inspect = {}) {
    std::set<std::string> before = folderEntries();
    before.insert("ip.txt");
    BoxWatcher watcher;
    saveHandler();
    watcher.stop();
    std::set<std::string> after = folderEntries();
    after.insert("ip.txt");
    EXPECT_EQ(after, before) << "the save left a file behind";
    if (inspect) inspect(watcher);
    return watcher.boxesSeen();
  }
};

TEST_F(SaveTest, EmptyListWritesExactlyFourBytesAndConfirmsWithATaskModalInformationBox) {
  setControlText(list(), "");
  EXPECT_EQ(save([](const BoxWatcher& box) {
              EXPECT_EQ(box.text(), "保存代理ip成功");
              EXPECT_EQ(box.caption(), "提示");
              EXPECT_FALSE(box.hadOwner()) << "the confirmation has no owner window";
              EXPECT_EQ(box.icon(), LoadIconA(nullptr, IDI_INFORMATION));
              EXPECT_TRUE(box.disabledItsThread()) << "the box is not task-modal";
            }),
            1);
  EXPECT_EQ(fileBytes("ip.txt"), "\r\n\r\n");
}

TEST_F(SaveTest, ListedLinesAndTypedTextAreSavedUnchangedAndOverwriteTheLastSave) {
  setControlText(list(), "");
  appendText(list(), "10.0.0.1:8080\r\n");
  appendText(list(), "10.0.0.2:3128\r\n");
  save();
  EXPECT_EQ(fileBytes("ip.txt"), "10.0.0.1:8080\r\n10.0.0.2:3128\r\n\r\n\r\n");

  // Longer than the box is wide: it wraps on screen, but wrapping inserts no line breaks.
  std::string typed = "地区 电信 " + std::string(200, 'x') + "\r\n第二行";
  setControlText(list(), typed);
  save();
  save();
  EXPECT_EQ(fileBytes("ip.txt"), typed + "\r\n\r\n") << "one copy of the list, as GBK";
  EXPECT_EQ(controlText(list()), typed);
}

// A hidden or system ip.txt is replaced like any other and stays hidden or system.
TEST_F(SaveTest, HiddenOrSystemFileIsReplacedAndKeepsItsAttributes) {
  for (DWORD attributes :
       {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}) {
    SCOPED_TRACE(attributes);
    removeIpTxt();
    std::ofstream("ip.txt", std::ios::binary) << "older list\r\n";
    ASSERT_TRUE(SetFileAttributesA("ip.txt", attributes));
    ASSERT_EQ(keptAttributes("ip.txt"), attributes) << "this file system keeps no such attributes";
    setControlText(list(), "new list");
    EXPECT_EQ(save(), 1);
    EXPECT_EQ(fileBytes("ip.txt"), "new list\r\n\r\n");
    EXPECT_EQ(keptAttributes("ip.txt"), attributes);
  }
}

// Windows refuses to write a read-only file; the save keeps to that, whoever runs it.
TEST_F(SaveTest, ReadOnlyFileOrAFolderNamedIpTxtIsLeftAsItWasWithoutABox) {
  std::ofstream("ip.txt", std::ios::binary) << "older list\r\n";
  ASSERT_TRUE(SetFileAttributesA("ip.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  setControlText(list(), "new list");
  EXPECT_EQ(save(), 0);
  EXPECT_EQ(fileBytes("ip.txt"), "older list\r\n");
  EXPECT_EQ(keptAttributes("ip.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

  removeIpTxt();
  ASSERT_TRUE(CreateDirectoryA("ip.txt", nullptr));
  EXPECT_EQ(save(), 0);
  EXPECT_NE(GetFileAttributesA("ip.txt") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(controlText(list()), "new list");
}

}  // namespace

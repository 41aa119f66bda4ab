// "保存": the list box's bytes plus four line-break bytes in ip.txt, confirmed only when written.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "extract/saveHandler.h"
#include "support/boxWatcher.h"
#include "support/mainWindowFixture.h"
#include "toolkit/controls.h"

namespace {

std::string fileBytes(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class SaveTest : public MainWindowTest {
 protected:
  void SetUp() override {
    SetFileAttributesA("ip.txt", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("ip.txt");
  }
  void TearDown() override { SetFileAttributesA("ip.txt", FILE_ATTRIBUTE_NORMAL); }

  static HWND list() { return control("编辑框1"); }

  // Runs the handler as a click would; returns the watcher's record of the boxes shown.
  static int save(std::string* boxText = nullptr, std::string* boxCaption = nullptr, bool* owned = nullptr) {
    BoxWatcher watcher;
    saveHandler();
    watcher.stop();
    if (boxText) *boxText = watcher.text();
    if (boxCaption) *boxCaption = watcher.caption();
    if (owned) *owned = watcher.hadOwner();
    return watcher.boxesSeen();
  }
};

TEST_F(SaveTest, EmptyListWritesExactlyFourBytesAndConfirms) {
  setControlText(list(), "");
  std::string text, caption;
  bool owned = true;
  EXPECT_EQ(save(&text, &caption, &owned), 1);
  EXPECT_EQ(fileBytes("ip.txt"), "\r\n\r\n");
  EXPECT_EQ(text, "保存代理ip成功");
  EXPECT_EQ(caption, "提示");
  EXPECT_FALSE(owned) << "the confirmation has no owner window";
}

TEST_F(SaveTest, TwoListedLinesEndWithThreeLineBreaks) {
  setControlText(list(), "");
  appendText(list(), "10.0.0.1:8080\r\n");
  appendText(list(), "10.0.0.2:3128\r\n");
  save();
  EXPECT_EQ(fileBytes("ip.txt"), "10.0.0.1:8080\r\n10.0.0.2:3128\r\n\r\n\r\n");
}

TEST_F(SaveTest, SavingTwiceLeavesOneCopy) {
  setControlText(list(), "a\r\nb");
  save();
  save();
  EXPECT_EQ(fileBytes("ip.txt"), "a\r\nb\r\n\r\n");
}

TEST_F(SaveTest, TypedTextIsSavedUnchangedAsGbkWithoutWrapBreaks) {
  // Longer than the box is wide: it wraps on screen, but wrapping inserts no line breaks.
  std::string typed = "地区 电信 " + std::string(200, 'x') + "\r\n第二行";
  setControlText(list(), typed);
  save();
  EXPECT_EQ(fileBytes("ip.txt"), typed + "\r\n\r\n");
  EXPECT_EQ(controlText(list()), typed);
}

// Wine run as root lets any file be opened for writing, read-only or not.
bool readOnlyFilesRefuseWriting() {
  const char* probe = "read-only-probe.txt";
  std::ofstream(probe) << "x";
  SetFileAttributesA(probe, FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool refused = file == INVALID_HANDLE_VALUE;
  if (!refused) CloseHandle(file);
  SetFileAttributesA(probe, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(probe);
  return refused;
}

TEST_F(SaveTest, ReadOnlyTargetShowsNoBoxAndLosesNothing) {
  if (!readOnlyFilesRefuseWriting()) GTEST_SKIP() << "this system lets read-only files be written (Wine as root)";
  std::ofstream("ip.txt", std::ios::binary) << "older list\r\n";
  ASSERT_TRUE(SetFileAttributesA("ip.txt", FILE_ATTRIBUTE_READONLY));
  setControlText(list(), "new list");
  EXPECT_EQ(save(), 0);
  EXPECT_EQ(fileBytes("ip.txt"), "older list\r\n");
  EXPECT_EQ(controlText(list()), "new list");
}

TEST_F(SaveTest, TargetThatIsAFolderShowsNoBox) {
  ASSERT_TRUE(CreateDirectoryA("ip.txt", nullptr));
  setControlText(list(), "new list");
  EXPECT_EQ(save(), 0);
  EXPECT_EQ(GetFileAttributesA("ip.txt") & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(controlText(list()), "new list");
  RemoveDirectoryA("ip.txt");
}

TEST_F(SaveTest, FileHeldOpenByAnotherProgramShowsNoBox) {
  std::ofstream("ip.txt", std::ios::binary) << "kept\r\n";
  HANDLE held = CreateFileA("ip.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  setControlText(list(), "new list");
  EXPECT_EQ(save(), 0);
  CloseHandle(held);
  EXPECT_EQ(fileBytes("ip.txt"), "kept\r\n");
  EXPECT_EQ(controlText(list()), "new list");
}

}  // namespace

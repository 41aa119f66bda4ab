// "保存" when ip.txt cannot be written: held open by another process, in a folder that refuses
// writing, on a full disk. No box, no crash, the list unchanged, the previous ip.txt (or its
// absence) exactly as it was, no scratch file left, and the next save works again.
// scripts/soak passes QUORVELIP_READONLY_FOLDER and QUORVELIP_FULL_FOLDER (a read-only mount and a
// tiny full one); without them the cases use what this system offers, or are skipped.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/saveHandler.h"
#include "support/boxWatcher.h"
#include "support/childProcess.h"
#include "support/mainWindowFixture.h"
#include "support/scratchFiles.h"
#include "support/unixCommand.h"
#include "toolkit/controls.h"

namespace {

constexpr char kHeldText[] = "kept by the other program\r\n";
constexpr char kEventsVariable[] = "QUORVELIP_HOLD_EVENTS";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

HANDLE namedEvent(const std::string& name) {
  return CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

// The other program: holds ip.txt open with no sharing until the test lets it go.
QV_CHILD_SCENARIO(holdIpTxt) {
  std::string events = environment(kEventsVariable);
  HANDLE held = namedEvent(events + "-held");
  HANDLE release = namedEvent(events + "-release");
  HANDLE file =
      CreateFileA("ip.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, kHeldText, sizeof kHeldText - 1, &written, nullptr);
  SetEvent(held);
  DWORD waited = WaitForSingleObject(release, 60000);
  CloseHandle(file);
  return waited == WAIT_OBJECT_0 ? 0 : 2;
}

ULONGLONG diskSize(const std::string& folder) {
  ULARGE_INTEGER free{}, total{};
  if (!GetDiskFreeSpaceExA(folder.c_str(), &free, &total, nullptr)) return 0;
  return total.QuadPart;
}

// A folder on a disk with 16 KiB free: the one scripts/soak gives, else (as root under Wine) a
// 64 KiB memory file system mounted for the case and taken down at its end.
class FullFolder {
 public:
  static constexpr ULONGLONG kSize = 64 * 1024;

  FullFolder() : path_(environment("QUORVELIP_FULL_FOLDER")) {
    if (!path_.empty()) return;
    if (!underWine()) return;
    // Wine's process ids repeat from run to run: the tick count keeps this folder from being one a run
    // that never got to unmount left behind, and a folder that already exists is never mounted over.
    unixPath_ = "/tmp/quorvelip-full-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
    path_ = "Z:" + unixPath_;
    for (char& c : path_) c = c == '/' ? '\\' : c;
    if (!CreateDirectoryA(path_.c_str(), nullptr)) {
      path_.clear();
      return;
    }
    mounted_ = runUnixCommand("/bin/mount", "mount -t tmpfs -o size=64k tmpfs " + unixPath_,
                              [&] { return diskSize(path_) == kSize; });
    if (!mounted_) {
      RemoveDirectoryA(path_.c_str());
      path_.clear();
      return;
    }
    HANDLE filler = CreateFileA((path_ + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes(48 * 1024, 'f');
    DWORD written = 0;
    WriteFile(filler, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(filler);
  }
  ~FullFolder() {
    if (!mounted_) return;
    for (const std::string& name : folderEntries(path_)) DeleteFileA((path_ + "\\" + name).c_str());
    runUnixCommand("/bin/umount", "umount " + unixPath_, [&] { return diskSize(path_) != kSize; });
    RemoveDirectoryA(path_.c_str());
  }
  FullFolder(const FullFolder&) = delete;
  FullFolder& operator=(const FullFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string unixPath_;
  bool mounted_ = false;
};

// Enters a folder for one case and comes back to the test's own folder at its end.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    GetCurrentDirectoryA(MAX_PATH, home_);
    entered_ = SetCurrentDirectoryA(folder.c_str());
  }
  ~InFolder() { SetCurrentDirectoryA(home_); }
  bool entered() const { return entered_; }

 private:
  char home_[MAX_PATH] = {};
  bool entered_ = false;
};

class SaveFaultTest : public MainWindowTest {
 protected:
  void SetUp() override { DeleteFileA("ip.txt"); }

  static HWND list() { return control("编辑框1"); }

  static int save() {
    BoxWatcher watcher;
    SendMessageA(control("按钮2"), BM_CLICK, 0, 0);
    watcher.stop();
    return watcher.boxesSeen();
  }

  // The save that follows a failed one, once the fault is gone, confirms and writes the list.
  static void expectNextSaveWorks(const std::string& listed) {
    EXPECT_EQ(save(), 1);
    EXPECT_EQ(fileBytes("ip.txt"), listed + "\r\n\r\n");
  }
};

TEST_F(SaveFaultTest, FileHeldOpenByAnotherProcess) {
  const std::string listed = "10.0.0.1:8080\r\n10.0.0.2:3128\r\n";
  setControlText(list(), listed);
  std::string events = "quorvelip-hold-" + std::to_string(GetCurrentProcessId());
  HANDLE held = namedEvent(events + "-held");
  HANDLE release = namedEvent(events + "-release");
  SetEnvironmentVariableA(kEventsVariable, events.c_str());

  int boxes = -1;
  std::string listAfter;
  std::set<std::string> entriesBefore, entriesAfter;
  ChildResult child = runChild("holdIpTxt", 60000, [&](DWORD) {
    if (boxes >= 0 || WaitForSingleObject(held, 0) != WAIT_OBJECT_0) return;
    entriesBefore = folderEntries();
    boxes = save();
    entriesAfter = folderEntries();
    listAfter = controlText(list());
    SetEvent(release);
  });
  CloseHandle(held);
  CloseHandle(release);

  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0u) << "the other program could not hold the file";
  EXPECT_EQ(boxes, 0) << "a box for a file another program holds";
  EXPECT_EQ(listAfter, listed);
  EXPECT_EQ(fileBytes("ip.txt"), kHeldText) << "the held file was touched";
  EXPECT_EQ(entriesAfter, entriesBefore) << "the failed save left a file behind";
  expectNextSaveWorks(listed);
}

// A folder whose access list lets nobody add a file, or a read-only mount given by scripts/soak.
TEST_F(SaveFaultTest, FolderThatRefusesWriting) {
  std::string folder = environment("QUORVELIP_READONLY_FOLDER");
  const bool given = !folder.empty();
  if (!given) {
    folder = "refusing-folder";
    CreateDirectoryA(folder.c_str(), nullptr);
    EXPLICIT_ACCESS_A readOnly{};
    BuildExplicitAccessWithNameA(&readOnly, const_cast<char*>("EVERYONE"), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE,
                                 SET_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    PACL acl = nullptr;
    SetEntriesInAclA(1, &readOnly, nullptr, &acl);
    SetNamedSecurityInfoA(folder.data(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                          nullptr);
    LocalFree(acl);
  }
  std::string probe = folder + "\\probe.txt";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool refused = file == INVALID_HANDLE_VALUE;
  if (!refused) {
    CloseHandle(file);
    DeleteFileA(probe.c_str());
  }
  if (!refused) {
    if (!given) {
      SetNamedSecurityInfoA(folder.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                            nullptr);
      RemoveDirectoryA(folder.c_str());
    }
    GTEST_SKIP() << "this system lets a folder that refuses writing be written (Wine as root ignores access "
                    "lists and permissions); scripts/soak runs this case on a read-only mount";
  }
  const std::string listed = "kept on screen\r\n";
  setControlText(list(), listed);
  {
    InFolder inside(folder);
    ASSERT_TRUE(inside.entered());
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(GetFileAttributesA("ip.txt"), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(controlText(list()), listed);
  if (!given) {
    SetNamedSecurityInfoA(folder.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
    RemoveDirectoryA(folder.c_str());
  }
  expectNextSaveWorks(listed);
}

// A disk with no room: neither the previous ip.txt nor its absence may suffer from the save.
TEST_F(SaveFaultTest, FullDiskKeepsThePreviousFileOrNone) {
  std::string listed;
  for (int i = 0; i < 20000; ++i)
    listed += "110.51." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ":18186\r\n";
  setControlText(list(), listed);
  {
    FullFolder full;
    if (full.path().empty())
      GTEST_SKIP() << "no full disk to write to: scripts/soak provides one (QUORVELIP_FULL_FOLDER), "
                      "or run as root under Wine to mount one";
    InFolder inside(full.path());
    ASSERT_TRUE(inside.entered());
    DeleteFileA("ip.txt");
    std::set<std::string> before = folderEntries();
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(folderEntries(), before) << "a file was left where there was none";

    std::ofstream("ip.txt", std::ios::binary) << "older list\r\n";
    before = folderEntries();
    EXPECT_EQ(save(), 0);
    std::string kept = fileBytes("ip.txt");
    EXPECT_TRUE(kept == "older list\r\n") << "ip.txt now holds " << kept.size() << " bytes: " << kept.substr(0, 40);
    EXPECT_EQ(folderEntries(), before) << "the failed save left a file behind";
    DeleteFileA("ip.txt");
  }
  EXPECT_EQ(controlText(list()), listed);
  expectNextSaveWorks(listed);
}

}  // namespace

// "保存" when ip.txt cannot be written: held open by another process, in a folder that refuses
// writing, on a full disk. No box, no crash, the list unchanged, and the next save works again.
// scripts/soak passes QUORVELIP_READONLY_FOLDER and QUORVELIP_FULL_FOLDER (a read-only mount and a
// tiny full one); without them the cases use what this system offers, or are skipped.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "extract/saveHandler.h"
#include "support/boxWatcher.h"
#include "support/childProcess.h"
#include "support/mainWindowFixture.h"
#include "toolkit/controls.h"

namespace {

constexpr char kHeldText[] = "kept by the other program\r\n";
constexpr char kEventsVariable[] = "QUORVELIP_HOLD_EVENTS";

std::string fileBytes(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

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

// Whether the folder lists the name (a link to a device has no attributes to ask for).
bool listed(const char* name) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(name, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool underWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Runs a Unix command from this Windows process (Wine starts Unix executables) and waits until
// `name` is listed or not, as `listedAfter` says, since Wine gives no usable handle to wait on.
bool runUnixCommand(const char* program, std::string command, const char* name, bool listedAfter) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 500 && listed(name) != listedAfter; ++i) Sleep(10);
  return listed(name) == listedAfter;
}

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
  ChildResult child = runChild("holdIpTxt", 60000, [&](DWORD) {
    if (boxes >= 0 || WaitForSingleObject(held, 0) != WAIT_OBJECT_0) return;
    boxes = save();
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

// A disk with no room: a tiny full mount given by scripts/soak, else (under Wine) ip.txt made a
// link to /dev/full, where every write fails as on a full disk.
TEST_F(SaveFaultTest, FullDisk) {
  std::string listed;
  for (int i = 0; i < 20000; ++i)
    listed += "110.51." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ":18186\r\n";
  setControlText(list(), listed);

  std::string folder = environment("QUORVELIP_FULL_FOLDER");
  if (!folder.empty()) {
    InFolder inside(folder);
    ASSERT_TRUE(inside.entered());
    DeleteFileA("ip.txt");
    EXPECT_EQ(save(), 0);
    // Truncated first, then written as far as there was room: never more than the list.
    std::string kept = fileBytes("ip.txt");
    EXPECT_LT(kept.size(), listed.size());
    EXPECT_EQ(kept, listed.substr(0, kept.size()));
    DeleteFileA("ip.txt");
  } else {
    if (!underWine()) GTEST_SKIP() << "no full disk to write to: scripts/soak provides one (QUORVELIP_FULL_FOLDER)";
    ASSERT_TRUE(runUnixCommand("/bin/ln", "ln -s /dev/full ip.txt", "ip.txt", true)) << "could not link to /dev/full";
    EXPECT_EQ(save(), 0);
    // Wine cannot delete a link to a device; and reading it would never end.
    ASSERT_TRUE(runUnixCommand("/bin/rm", "rm -f ip.txt", "ip.txt", false)) << "the link to /dev/full stays";
  }
  EXPECT_EQ(controlText(list()), listed);
  expectNextSaveWorks(listed);
}

}  // namespace

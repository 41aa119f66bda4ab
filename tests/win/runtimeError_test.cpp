// Fatal runtime errors: the box's caption and text, then exit code -1; and the declared-function
// table raising its errors only when a missing row is first called.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>

#include "app/startup.h"
#include "support/childProcess.h"
#include "support/windows.h"
#include "toolkit/valueModel.h"
#include "win32/binder.h"
#include "win32/declared.h"

namespace {

constexpr DWORD kExitMinusOne = 0xFFFFFFFF;

struct SeenBox {
  std::string caption;
  std::string text;
  bool owned = false;
  int count = 0;
  std::set<std::string> modules;  // the child's libraries (lower case) while its first box showed
};

std::set<std::string> librariesOf(DWORD processId) {
  std::set<std::string> names;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!process) return names;
  HMODULE modules[512];
  DWORD bytes = 0;
  if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < std::size(modules); ++i) {
      char name[MAX_PATH] = {};
      GetModuleBaseNameA(process, modules[i], name, MAX_PATH);
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names.insert(lower);
    }
  }
  CloseHandle(process);
  return names;
}

std::string programFolder() {
  char path[MAX_PATH] = {};
  std::string folder(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string readAll(const char* name) {
  std::ifstream file(name);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs the child scenario, closing (and recording) each box it shows.
ChildResult runAndCloseBoxes(const char* scenario, SeenBox& seen) {
  return runChild(scenario, 30000, [&](DWORD processId) {
    if (HWND box = findProcessDialog(processId)) {
      if (seen.count++ == 0) {
        seen.caption = windowText(box);
        seen.text = messageBoxText(box);
        seen.owned = GetWindow(box, GW_OWNER) != nullptr;
        seen.modules = librariesOf(processId);
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      Sleep(200);
    }
  });
}

QV_CHILD_SCENARIO(indexBelowOne) {
  Array<int> numbers{7, 8};
  return numbers[0];
}

QV_CHILD_SCENARIO(indexAboveCount) {
  Array<int> numbers{7, 8};
  return numbers[3];
}

// Creates a file, then calls a row whose library does not exist.
QV_CHILD_SCENARIO(missingLibrary) {
  static DeclaredFunction<int WINAPI(int)> missing{"qv_no_such_library.dll", "QvNothing"};
  std::ofstream("reached-before-call.txt") << "running";
  return missing(1);
}

// Records which of the last two searched libraries are loaded before the search.
QV_CHILD_SCENARIO(missingExportWithoutLibrary) {
  static DeclaredFunction<int WINAPI(int)> missing{"", "QvNoSuchExport"};
  std::ofstream("reached-before-call.txt") << "mpr " << (GetModuleHandleA("mpr.dll") != nullptr) << " shell32 "
                                           << (GetModuleHandleA("shell32.dll") != nullptr);
  return missing(1);
}

// The library is found by the system's search in the program's folder, and lacks the export.
QV_CHILD_SCENARIO(namedLibraryWithoutTheExport) {
  static DeclaredFunction<int WINAPI()> missing{"qvprobe.dll", "qvNoSuchExport"};
  return missing();
}

// With the system's search kept to the system folder, only the binder's own look into the
// program's folder finds a library declared without ".dll".
QV_CHILD_SCENARIO(libraryFromTheProgramFolder) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (HMODULE found = LoadLibraryA("qvprobe")) {
    FreeLibrary(found);
    return 2;
  }
  static DeclaredFunction<int WINAPI()> answer{"qvprobe", "qvProbeAnswer"};
  return answer();
}

// Refuses to create the main window's combo box, as when a control cannot be created.
LRESULT CALLBACK refuseComboBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const char* className = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
    if (!IS_INTRESOURCE(className) && lstrcmpiA(className, "ComboBox") == 0) return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

QV_CHILD_SCENARIO(controlCannotBeCreated) {
  SetWindowsHookExA(WH_CBT, refuseComboBox, nullptr, GetCurrentThreadId());
  return runProgram();
}

TEST(RuntimeError, StartWindowFailureBoxWaitsForTheUser) {
  // The box is closed only once it has stood for a while: it must wait for the user, like every
  // other error box, not vanish with the window that failed.
  constexpr DWORD kStandsMs = 1500;
  SeenBox box;
  DWORD firstSeen = 0;
  bool stood = false;
  ChildResult result = runChild("controlCannotBeCreated", 30000, [&](DWORD processId) {
    HWND dialog = findProcessDialog(processId);
    if (!dialog) return;
    if (box.count++ == 0) {
      firstSeen = GetTickCount();
      box.caption = windowText(dialog);
      box.text = messageBoxText(dialog);
    } else if (GetTickCount() - firstSeen >= kStandsMs) {
      stood = true;
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
  });
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  EXPECT_TRUE(stood) << "the box was gone before the user could close it";
  EXPECT_EQ(result.exitCode, kExitMinusOne);
}

TEST(RuntimeError, IndexErrorsShowTheirNumberAndMessageThenExitWithMinusOne) {
  SeenBox below;
  ChildResult result = runAndCloseBoxes("indexBelowOne", below);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(below.count, 1);
  EXPECT_EQ(below.caption, "错误");
  EXPECT_EQ(below.text, "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
  EXPECT_FALSE(below.owned);

  SeenBox above;
  result = runAndCloseBoxes("indexAboveCount", above);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(above.text, "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
}

TEST(DeclaredFunctions, MissingLibraryIsReportedAtItsFirstCallNotAtStart) {
  DeleteFileA("reached-before-call.txt");
  SeenBox box;
  ChildResult result = runAndCloseBoxes("missingLibrary", box);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(GetFileAttributesA("reached-before-call.txt") != INVALID_FILE_ATTRIBUTES, true);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.text,
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“qv_no_such_library.dll”中的输出命令“QvNothing”\r\n");
}

TEST(DeclaredFunctions, MissingExportWithoutLibraryNamesOnlyTheExportAndReleasesEverySearchedLibrary) {
  DeleteFileA("reached-before-call.txt");
  SeenBox box;
  ChildResult result = runAndCloseBoxes("missingExportWithoutLibrary", box);
  ASSERT_TRUE(result.finished);
  ASSERT_EQ(readAll("reached-before-call.txt"), "mpr 0 shell32 0");
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件中的输出命令“QvNoSuchExport”\r\n");
  ASSERT_TRUE(box.modules.count("kernel32.dll")) << "the child's libraries could not be listed";
  EXPECT_FALSE(box.modules.count("mpr.dll")) << "searched and kept";
  EXPECT_FALSE(box.modules.count("shell32.dll")) << "searched and kept";
}

TEST(DeclaredFunctions, NamedLibraryWithoutTheExportIsReleasedAndNamedInTheError) {
  SeenBox box;
  ChildResult result = runAndCloseBoxes("namedLibraryWithoutTheExport", box);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.text,
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“qvprobe.dll”中的输出命令“qvNoSuchExport”\r\n");
  ASSERT_TRUE(box.modules.count("kernel32.dll")) << "the child's libraries could not be listed";
  EXPECT_FALSE(box.modules.count("qvprobe.dll"));
}

TEST(DeclaredFunctions, LibrariesLoadFromTheProgramFolderOrAnAbsolutePath) {
  SeenBox box;
  ChildResult result = runAndCloseBoxes("libraryFromTheProgramFolder", box);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(box.count, 0) << box.text;
  EXPECT_EQ(result.exitCode, 42u);

  static const std::string path = programFolder() + "qvprobe.dll";
  ASSERT_NE(path.find(':'), std::string::npos);
  static DeclaredFunction<int WINAPI()> byPath{path.c_str(), "qvProbeAnswer"};
  EXPECT_EQ(byPath(), 42);
  EXPECT_EQ(byPath.row().module.load(), GetModuleHandleA(path.c_str()));
}

TEST(DeclaredFunctions, EmptyLibraryFindsSendMessageInUser32) {
  static DeclaredFunction<decltype(::SendMessageA)> sendMessage{"", "SendMessageA"};
  sendMessage(GetDesktopWindow(), WM_NULL, 0, 0);
  EXPECT_EQ(sendMessage.row().module.load(), GetModuleHandleA("user32.dll"));
  EXPECT_EQ(reinterpret_cast<void*>(sendMessage.target()),
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SendMessageA")));
}

TEST(DeclaredFunctions, TwoRowsNamingOneExportBindIndependentlyAndBothWork) {
  static DeclaredFunction<decltype(::GetCurrentProcessId)> first{"kernel32", "GetCurrentProcessId"};
  static DeclaredFunction<decltype(::GetCurrentProcessId)> second{"KERNEL32.DLL", "GetCurrentProcessId"};
  EXPECT_EQ(first.row().address.load(), nullptr) << "nothing is bound before the first call";
  EXPECT_EQ(first(), GetCurrentProcessId());
  EXPECT_EQ(second.row().address.load(), nullptr);
  EXPECT_EQ(second(), GetCurrentProcessId());
  EXPECT_EQ(first.target(), second.target());
}

}  // namespace

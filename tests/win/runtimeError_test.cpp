// Fatal runtime errors: the box's caption and text, then exit code -1; and the declared-function
// table raising its errors only when a missing row is first called.
#include <gtest/gtest.h>

#include <fstream>

#include "app/startup.h"
#include "gfx/binder.h"
#include "gfx/declared.h"
#include "support/childProcess.h"
#include "support/windows.h"
#include "toolkit/valueModel.h"

namespace {

constexpr DWORD kExitMinusOne = 0xFFFFFFFF;

struct SeenBox {
  std::string caption;
  std::string text;
  bool owned = false;
  int count = 0;
};

// Runs the child scenario, closing (and recording) each box it shows.
ChildResult runAndCloseBoxes(const char* scenario, SeenBox& seen) {
  return runChild(scenario, 30000, [&](DWORD processId) {
    if (HWND box = findProcessDialog(processId)) {
      if (seen.count++ == 0) {
        seen.caption = windowText(box);
        seen.text = messageBoxText(box);
        seen.owned = GetWindow(box, GW_OWNER) != nullptr;
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

QV_CHILD_SCENARIO(missingExportWithoutLibrary) {
  static DeclaredFunction<int WINAPI(int)> missing{"", "QvNoSuchExport"};
  std::ofstream("reached-before-call.txt") << "running";
  return missing(1);
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

TEST(RuntimeError, IndexBelowOneShowsErrorFourAndExitsWithMinusOne) {
  SeenBox box;
  ChildResult result = runAndCloseBoxes("indexBelowOne", box);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.count, 1);
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
  EXPECT_FALSE(box.owned);
}

TEST(RuntimeError, IndexAboveCountShowsErrorOne) {
  SeenBox box;
  ChildResult result = runAndCloseBoxes("indexAboveCount", box);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
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

TEST(DeclaredFunctions, MissingExportWithoutLibraryNamesOnlyTheExport) {
  DeleteFileA("reached-before-call.txt");
  SeenBox box;
  ChildResult result = runAndCloseBoxes("missingExportWithoutLibrary", box);
  ASSERT_TRUE(result.finished);
  EXPECT_NE(GetFileAttributesA("reached-before-call.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(result.exitCode, kExitMinusOne);
  EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件中的输出命令“QvNoSuchExport”\r\n");
}

TEST(DeclaredFunctions, EmptyLibraryFindsSendMessageInUser32AndReleasesTheOthers) {
  static DeclaredFunction<decltype(::SendMessageA)> sendMessage{"", "SendMessageA"};
  HWND desktop = GetDesktopWindow();
  sendMessage(desktop, WM_NULL, 0, 0);
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

// The main window as start-up creates it: every control's class, geometry, text and styles; the
// engine settings start-up makes, and the order of shut-down.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/startup.h"
#include "gfx/gdiplusStartup.h"
#include "gfx/image.h"
#include "skin/core/engine.h"
#include "support/childProcess.h"
#include "support/mainWindowFixture.h"
#include "support/rowSpy.h"
#include "support/windows.h"

namespace {

struct Expected {
  const char* name;
  const char* className;
  RECT bounds;  // left, top, right, bottom in the window's client area
  const char* text;
  DWORD style;    // bits that must be set
  DWORD noStyle;  // bits that must be clear
  DWORD exStyle;
};

std::string classOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT boundsInParent(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

constexpr DWORD kLine = ES_AUTOHSCROLL;
constexpr DWORD kLineNot = ES_MULTILINE | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_PASSWORD | ES_NOHIDESEL |
                           ES_UPPERCASE | ES_LOWERCASE | ES_CENTER | ES_RIGHT;

const Expected kControls[] = {
    // The skin turns push buttons owner-drawn; the type bits are checked on their own below.
    {"按钮2", "Button", {104, 224, 176, 264}, "保存", 0, BS_BITMAP | BS_ICON, 0},
    {"编辑框1",
     "Edit",
     {200, 32, 440, 272},
     "",
     ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL,
     ES_AUTOHSCROLL | WS_HSCROLL | ES_READONLY,
     WS_EX_CLIENTEDGE},
    {"透明标签5", "QvTransparentLabel", {24, 152, 64, 176}, "地区：", WS_CLIPSIBLINGS, 0, WS_EX_TRANSPARENT},
    {"编辑框_DQ", "Edit", {78, 157, 166, 177}, "", kLine, kLineNot, WS_EX_CLIENTEDGE},
    {"按钮1", "Button", {16, 224, 88, 264}, "提取", 0, BS_BITMAP | BS_ICON, 0},
    {"透明标签4", "QvTransparentLabel", {24, 184, 64, 208}, "运营商：", WS_CLIPSIBLINGS, 0, WS_EX_TRANSPARENT},
    {"透明标签3", "QvTransparentLabel", {22, 80, 70, 104}, "开头：", WS_CLIPSIBLINGS, 0, WS_EX_TRANSPARENT},
    {"透明标签2", "QvTransparentLabel", {24, 113, 64, 137}, "端口：", WS_CLIPSIBLINGS, 0, WS_EX_TRANSPARENT},
    {"透明标签1", "QvTransparentLabel", {19, 40, 59, 72}, "数量：", WS_CLIPSIBLINGS, 0, WS_EX_TRANSPARENT},
    {"组合框1", "ComboBox", {74, 189, 171, 209}, "全部运营商", CBS_DROPDOWN, CBS_DROPDOWNLIST & ~CBS_DROPDOWN, 0},
    {"编辑框_SL", "Edit", {78, 44, 166, 67}, "20", kLine, kLineNot, WS_EX_CLIENTEDGE},
    {"编辑框_KT", "Edit", {78, 84, 166, 107}, "11", kLine, kLineNot, WS_EX_CLIENTEDGE},
    {"编辑框_DK", "Edit", {78, 117, 166, 140}, "18186", kLine, kLineNot, WS_EX_CLIENTEDGE},
};

TEST_F(MainWindowTest, IsAFramelessCentredWindowWithItsCaptionAndIcon) {
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(windowText(window()), "Quorvelip提取系统 V2.6");
  RECT rect;
  GetWindowRect(window(), &rect);
  EXPECT_EQ(rect.right - rect.left, 467);
  EXPECT_EQ(rect.bottom - rect.top, 292);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 467) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 292) / 2);
  RECT client;
  GetClientRect(window(), &client);
  EXPECT_EQ(client.right, 467) << "no system frame takes client space";
  EXPECT_EQ(client.bottom, 292);

  auto style = static_cast<DWORD>(GetWindowLongPtrA(window(), GWL_STYLE));
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(IsWindowVisible(window()));
  auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window(), GWL_EXSTYLE));
  EXPECT_FALSE(exStyle & WS_EX_TOPMOST);
}

TEST_F(MainWindowTest, TakesItsIconFromTheIconGroupWhenThereIsNoResource129) {
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCEA(129)), nullptr);
  HICON icon = reinterpret_cast<HICON>(SendMessageA(window(), WM_GETICON, ICON_BIG, 0));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(icon, LoadIconA(program, "DEFAULT_ICON"));
}

TEST_F(MainWindowTest, HasTheThirteenControlsAsDefined) {
  int children = 0;
  for (HWND child = GetWindow(window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
  EXPECT_EQ(children, 13);

  for (const Expected& expected : kControls) {
    SCOPED_TRACE(expected.name);
    HWND child = control(expected.name);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), window());
    EXPECT_STRCASEEQ(classOf(child).c_str(), expected.className);
    RECT bounds = boundsInParent(child);
    EXPECT_EQ(bounds.left, expected.bounds.left);
    EXPECT_EQ(bounds.top, expected.bounds.top);
    EXPECT_EQ(bounds.right, expected.bounds.right);
    EXPECT_EQ(bounds.bottom, expected.bounds.bottom);
    EXPECT_EQ(windowText(child), expected.text);
    auto style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
    auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE));
    EXPECT_EQ(style & expected.style, expected.style);
    EXPECT_EQ(style & expected.noStyle, 0u);
    EXPECT_EQ(exStyle & expected.exStyle, expected.exStyle);
    if (std::string(expected.className) == "Button") {
      DWORD type = style & BS_TYPEMASK;
      EXPECT_TRUE(type == BS_PUSHBUTTON || type == BS_OWNERDRAW) << "a plain push button, drawn by the skin";
    }
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_DISABLED);
  }
}

TEST_F(MainWindowTest, EditBoxesHaveNoLengthLimit) {
  for (const char* name : {"编辑框1", "编辑框_DQ", "编辑框_SL", "编辑框_KT", "编辑框_DK"}) {
    SCOPED_TRACE(name);
    EXPECT_GE(static_cast<UINT>(SendMessageA(control(name), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
  }
}

TEST_F(MainWindowTest, CarrierBoxListsItsFourItemsWithNoneSelected) {
  HWND carrier = control("组合框1");
  ASSERT_EQ(SendMessageA(carrier, CB_GETCOUNT, 0, 0), 4);
  const char* items[] = {"全部运营商", "电信", "联通", "移动"};
  for (int i = 0; i < 4; ++i) {
    char item[64] = {};
    SendMessageA(carrier, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, items[i]);
  }
  EXPECT_EQ(SendMessageA(carrier, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(windowText(carrier), "全部运营商");
}

TEST_F(MainWindowTest, CarrierBoxTakesTypedTextThatIsNoItem) {
  HWND carrier = control("组合框1");
  HWND edit = FindWindowExA(carrier, nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr) << "an editable drop-down has an edit part";
  SetWindowTextA(carrier, "铁通");
  EXPECT_EQ(windowText(carrier), "铁通");
  SetWindowTextA(carrier, "全部运营商");
}
// ---- Start-up and shut-down, each in a fresh process ----

// Counts a mismatch and says which, so the parent's output names it.
void check(bool holds, const char* what, int& failures) {
  if (holds) return;
  std::printf("start-up/shut-down: %s\n", what);
  std::fflush(stdout);
  ++failures;
}

// The settings as the module initialisers leave them, before the skin entry changes any.
QV_CHILD_SCENARIO(startUpSettings) {
  createSkinEngine();
  initialiseModules();
  const SkinSettings& settings = skinEngine().settings();
  int failures = 0;
  check(settings.firstSizeFlag == 1, "first-size flag 1", failures);
  check(settings.skinEnabled == 1, "skin-enabled flag 1", failures);
  check(settings.globalTranslucency == 160, "global translucency 160", failures);
  check(settings.translucencyGiven == 0, "no translucency given yet", failures);
  check(settings.accentColour == 0xDDCA22, "accent colour 0xDDCA22", failures);
  check(settings.controlOption2 == 1, "control option 2 = 1", failures);
  check(settings.applicationIcon == LoadIconA(GetModuleHandleA(nullptr), "DEFAULT_ICON"),
        "the application icon from DEFAULT_ICON", failures);
  check(gdiplusToken != 0, "GDI+ started through gfx's start-up, whose token shut-down uses", failures);
  Bitmap bitmap;
  check(bitmap.Create(4, 4), "GDI+ usable", failures);
  return failures;
}

TEST(StartUp, SetsTheEngineSettingsBeforeTheSkinEntry) {
  ChildResult result = runChild("startUpSettings", 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u) << "mismatches, named above";
}

bool engineAliveAtGdiplusShutdown = false;
void noteEngineAtGdiplusShutdown() {
  engineAliveAtGdiplusShutdown = skinEngineExists();
}

// The token of the GDI+ the running program uses, noted when the user closes the window.
ULONG_PTR runningToken = 0;
void CALLBACK closeMainWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  runningToken = gdiplusToken;
  PostMessageA(mainForm().window(), WM_CLOSE, 0, 0);
}

// The whole program: start-up, the message loop until the window is closed, shut-down.
QV_CHILD_SCENARIO(startUpAndShutDown) {
  RowSpy<dll::GdiplusShutdown> gdiplusShutdowns;
  RowSpy<dll::DestroyIcon> iconsDestroyed;
  RowSpy<dll::GdiplusShutdown>::onCall = [](ULONG_PTR) { noteEngineAtGdiplusShutdown(); };
  SetTimer(nullptr, 0, 500, closeMainWindow);
  int exitCode = runProgram();
  int failures = 0;
  check(exitCode == 0, "the program returns 0", failures);
  check(gdiplusShutdowns.calls == 1, "GDI+ is shut down exactly once", failures);
  check(!engineAliveAtGdiplusShutdown, "the engine and its records are gone before GDI+ is shut down", failures);
  ULONG_PTR token = std::get<0>(RowSpy<dll::GdiplusShutdown>::lastArguments);
  check(token != 0 && token == runningToken, "with the token of the GDI+ the program ran on", failures);
  check(iconsDestroyed.calls == 0, "the shared application icon is not destroyed", failures);
  ICONINFO info{};
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "DEFAULT_ICON");
  check(GetIconInfo(icon, &info) != FALSE, "the application icon is still valid", failures);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return failures;
}

TEST(ShutDown, TearsTheEngineDownThenShutsGdiplusDownOnceAndLeavesTheSharedIcon) {
  ChildResult result = runChild("startUpAndShutDown", 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u) << "mismatches, named above";
}
}  // namespace

// Text for GDI+: GBK/UTF-16 and GUID conversions, fonts and families, string formats, drawn
// and measured strings, and the tooltip window.
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "gfx/brush.h"
#include "gfx/font.h"
#include "gfx/stringFormat.h"
#include "gfx/toolTip.h"
#include "gfxTesting.h"
#include "support/childProcess.h"
#include "support/unixCommand.h"

namespace {

constexpr Argb kBlack = 0xFF000000;
constexpr Argb kWhite = 0xFFFFFFFF;

TEST(TextConversion, GbkTextRoundTripsThroughUtf16) {
  EXPECT_EQ(toWide("提  取"), std::wstring(L"提  取"));
  EXPECT_EQ(fromWide(L"保存代理ip成功"), Text("保存代理ip成功"));
  EXPECT_EQ(toWide(""), std::wstring());
  EXPECT_EQ(fromWide(L""), Text());
}

TEST(TextConversion, GuidsConvertToAndFromTheirBracedText) {
  GUID png;
  ASSERT_TRUE(textToGuid(kPngFormat, png));
  EXPECT_EQ(png.Data1, 0xB96B3CAFu);
  EXPECT_EQ(png.Data4[7], 0x2E);
  EXPECT_EQ(guidToText(png), Text(kPngFormat));

  GUID bad;
  EXPECT_FALSE(textToGuid("not a guid", bad));
  EXPECT_EQ(bad.Data1, 0u);
}

TEST(Fonts, AMissingFamilyLeavesTheFontUnbound) {
  Font font;
  EXPECT_FALSE(font.Create("没有这种字体 Qv", 12));
  EXPECT_EQ(font.GetHandle(), nullptr);
  EXPECT_EQ(lastStatus, Gdiplus::FontFamilyNotFound);

  FontFamily family;
  EXPECT_FALSE(family.CreateFromName("没有这种字体 Qv"));
  EXPECT_EQ(family.GetHandle(), nullptr);
  EXPECT_EQ(family.GetName(), Text());
}

TEST(Fonts, TheTitleFontResolvesWithItsSizeAndStyle) {
  // "宋体" is installed on Chinese Windows and registered as a replacement in our Wine prefix.
  Font font;
  ASSERT_TRUE(font.Create("宋体", 12, Gdiplus::FontStyleBold));
  EXPECT_EQ(font.GetSize(), 12.0f);
  EXPECT_EQ(font.GetStyle(), Gdiplus::FontStyleBold);
  FontFamily family;
  ASSERT_TRUE(font.GetFamily(family));
  EXPECT_FALSE(family.GetName().empty());
  EXPECT_EQ(lastStatus, Gdiplus::Ok);
}

TEST(Fonts, FromDCTakesTheGivenFontOrTheContextsOwn) {
  HDC screen = GetDC(nullptr);
  HFONT large = CreateFontA(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
  Font fromHandle;
  ASSERT_TRUE(fromHandle.FromDC(screen, large));
  EXPECT_EQ(fromHandle.GetSize(), 30.0f);

  Font fromContext;
  ASSERT_TRUE(fromContext.FromDC(screen));
  EXPECT_NE(fromContext.GetSize(), 30.0f);
  Font fromBadHandle;  // GetObjectA fails: the context's font instead
  ASSERT_TRUE(fromBadHandle.FromDC(screen, reinterpret_cast<HFONT>(static_cast<INT_PTR>(0x1234))));
  EXPECT_EQ(fromBadHandle.GetSize(), fromContext.GetSize());
  DeleteObject(large);
  ReleaseDC(nullptr, screen);
}

// An installed TrueType font with its naming table replaced by one that names the family
// `family`: a new "name" table appended to the file and the table directory pointed at it.
std::vector<BYTE> renamedFont(const wchar_t* family) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
  HGDIOBJ previous = SelectObject(dc, font);
  DWORD size = GetFontData(dc, 0, 0, nullptr, 0);
  std::vector<BYTE> file(size == GDI_ERROR ? 0 : size);
  if (!file.empty()) GetFontData(dc, 0, 0, file.data(), size);
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);
  if (file.size() < 12) return {};

  auto put16 = [](std::vector<BYTE>& out, unsigned value) {
    out.push_back(static_cast<BYTE>(value >> 8));
    out.push_back(static_cast<BYTE>(value));
  };
  struct Name {
    unsigned id;
    std::wstring text;
  };
  const std::vector<Name> names = {{1, family}, {2, L"Regular"}, {4, family}, {6, L"QuorvelipTest-Regular"}};
  std::vector<BYTE> table;
  put16(table, 0);
  put16(table, static_cast<unsigned>(names.size()));
  put16(table, static_cast<unsigned>(6 + 12 * names.size()));
  unsigned offset = 0;
  for (const Name& name : names) {  // Windows platform, Unicode BMP, English (US)
    for (unsigned field : {3u, 1u, 0x409u, name.id, static_cast<unsigned>(2 * name.text.size()), offset}) {
      put16(table, field);
    }
    offset += static_cast<unsigned>(2 * name.text.size());
  }
  for (const Name& name : names) {
    for (wchar_t c : name.text) put16(table, c);  // UTF-16, big-endian
  }

  while (file.size() % 4) file.push_back(0);
  auto read16 = [&](size_t at) { return static_cast<unsigned>(file[at] << 8 | file[at + 1]); };
  auto write32 = [&](size_t at, size_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<BYTE>(value >> (24 - 8 * i));
  };
  for (unsigned i = 0, tables = read16(4); i < tables; ++i) {
    size_t record = 12 + 16 * i;
    if (std::memcmp(&file[record], "name", 4) != 0) continue;
    write32(record + 8, file.size());
    write32(record + 12, table.size());
    file.insert(file.end(), table.begin(), table.end());
    return file;
  }
  return {};
}

// A copy of DejaVu Sans renamed to `wideName` in a private collection: its family made from the
// name as text, the name GetName reads back, and whether that text finds the family again.
struct NameBack {
  bool made = false;
  Text name;
  bool foundAgain = false;
};

NameBack familyNameBack(const wchar_t* wideName, const Text& name) {
  NameBack back;
  std::vector<BYTE> font = renamedFont(wideName);
  Gdiplus::GpFontCollection* privateFonts = nullptr;
  if (font.empty() || Gdiplus::DllExports::GdipNewPrivateFontCollection(&privateFonts) != Gdiplus::Ok) return back;
  Gdiplus::DllExports::GdipPrivateAddMemoryFont(privateFonts, font.data(), static_cast<INT>(font.size()));
  FontCollection collection;
  collection.SetHandle(privateFonts);
  FontFamily family;
  back.made = family.CreateFromName(name, &collection);
  back.name = family.GetName();
  FontFamily again;
  back.foundAgain = again.CreateFromName(back.name, &collection);
  family.Delete();
  again.Delete();
  Gdiplus::DllExports::GdipDeletePrivateFontCollection(&privateFonts);
  return back;
}

TEST(Fonts, AThirtyOneCharacterFamilyNameComesBackWhole) {
  // 31 UTF-16 characters: the most GDI+'s 32-character name buffer holds.
  const wchar_t* longName = L"Quorvelip测试字体名称ABCDEFGHIJKLMNOP";
  ASSERT_EQ(std::wcslen(longName), 31u);
  NameBack back = familyNameBack(longName, "Quorvelip测试字体名称ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(back.made) << "no TrueType data for DejaVu Sans";
  EXPECT_EQ(back.name, Text("Quorvelip测试字体名称ABCDEFGHIJKLMNOP"));
  EXPECT_TRUE(back.foundAgain);
}

// Where the ANSI and OEM code pages differ (a Western system: 1252 and 437), a family name read
// back must still name its family: text goes to UTF-16 and comes back in the same code page.
constexpr char kCodePageResult[] = "code-page-result.txt";

QV_CHILD_SCENARIO(familyNameUnderWesternCodePages) {
  int result = 2;  // the two code pages are the same
  if (GetACP() != GetOEMCP()) {
    startGdiplus();
    const wchar_t* wideName = L"Quorvelip Crème Brûlée";
    char name[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wideName, -1, name, sizeof name, nullptr, nullptr);
    NameBack back = familyNameBack(wideName, name);
    stopGdiplus();
    result = !back.made ? 3 : back.name == name && back.foundAgain ? 0 : 1;
  }
  std::ofstream(kCodePageResult) << result;
  return result;
}

// Wine takes a process's code pages from its Unix locale, so the child starts from the Unix side.
TEST(TextConversion, AFamilyNameReadBackFindsItsFamilyWhereTheCodePagesDiffer) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string program = unixPathOf(self);
  char wine[MAX_PATH] = {};
  if (program.empty() || !GetEnvironmentVariableA("QUORVELIP_WINE", wine, MAX_PATH))
    GTEST_SKIP() << "needs Wine, whose code pages follow each process's locale, started by scripts/wine-exec";
  DeleteFileA(kCodePageResult);
  std::string result;
  auto finished = [&] { return static_cast<bool>(std::ifstream(kCodePageResult) >> result); };
  std::string command =
      "env LC_ALL=C " + std::string(wine) + " " + program + " --child familyNameUnderWesternCodePages";
  ASSERT_TRUE(runUnixCommand("/usr/bin/env", command, finished, 60000)) << "the child gave no result";
  ASSERT_NE(result, "2") << "the child did not get two code pages (LC_ALL=C)";
  ASSERT_NE(result, "3") << "no TrueType data for DejaVu Sans";
  EXPECT_EQ(result, "0") << "the name came back in another code page";
  DeleteFileA(kCodePageResult);
}

// The columns of the canvas that hold any pixel other than the background.
std::pair<int, int> inkColumns(const Canvas& canvas, int width, int height, Argb background) {
  int first = -1, last = -1;
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      if (canvas.at(x, y) != background) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

TEST(StringDrawing, CentredTextIsDrawnAroundTheMiddleOfItsLayout) {
  Canvas canvas(200, 40, kBlack);
  Font font;
  ASSERT_TRUE(font.Create("宋体", 16));
  SolidBrush white;
  ASSERT_TRUE(white.Create(kWhite));
  StringFormat format;
  ASSERT_TRUE(format.Create());
  ASSERT_TRUE(format.SetAlignment(Gdiplus::StringAlignmentCenter));
  ASSERT_TRUE(format.SetLineAlignment(Gdiplus::StringAlignmentCenter));
  ASSERT_TRUE(format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter));

  ASSERT_TRUE(canvas.graphics.DrawString("提取 OK", font, white, RectF(0, 0, 200, 40), format));
  auto [first, last] = inkColumns(canvas, 200, 40, kBlack);
  ASSERT_GE(first, 0) << "nothing drawn";
  EXPECT_NEAR((first + last) / 2.0, 100.0, 6.0);
  EXPECT_GT(last - first, 20);

  // Near alignment (the default format) starts at the left edge.
  StringFormat plain;
  ASSERT_TRUE(plain.Create());
  ASSERT_TRUE(canvas.graphics.Clear(kBlack));
  ASSERT_TRUE(canvas.graphics.DrawString("提取 OK", font, white, RectF(0, 0, 200, 40), plain));
  EXPECT_LT(inkColumns(canvas, 200, 40, kBlack).first, 8);
}

TEST(StringDrawing, MeasuredBoundsGrowWithTheText) {
  Canvas canvas(10, 10, kBlack);
  Font font;
  ASSERT_TRUE(font.Create("宋体", 12));
  StringFormat format;
  ASSERT_TRUE(format.Create());
  RectF shortBounds, longBounds;
  ASSERT_TRUE(canvas.graphics.MeasureString("代理", font, RectF(0, 0, 500, 100), format, shortBounds));
  ASSERT_TRUE(canvas.graphics.MeasureString("代理代理代理", font, RectF(0, 0, 500, 100), format, longBounds));
  EXPECT_GT(shortBounds.Width, 12.0f);
  EXPECT_GT(longBounds.Width, 2.5f * shortBounds.Width);
  EXPECT_NEAR(longBounds.Height, shortBounds.Height, 0.5f);
}

TEST(ToolTips, ToolsAreAddedMovedAndRenamed) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  ToolTip tip;
  HWND window = tip.Create(owner);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(tip.window(), window);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STRCASEEQ(className, TOOLTIPS_CLASSA);
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & TTS_ALWAYSTIP);
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON);

  ASSERT_TRUE(tip.AddTool(RECT{10, 2, 36, 20}, "最小化", 1));
  ASSERT_TRUE(tip.AddTool(RECT{37, 2, 77, 20}, "关闭", 2));
  EXPECT_EQ(SendMessageA(window, TTM_GETTOOLCOUNT, 0, 0), 2);

  tip.SetToolRect(2, RECT{40, 3, 80, 21});
  tip.UpdateToolText(2, "关 闭");
  char text[80] = {};
  TOOLINFOA info = {};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.hwnd = owner;
  info.uId = 2;
  info.lpszText = text;
  ASSERT_TRUE(SendMessageA(window, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(info.rect.left, 40);
  EXPECT_EQ(info.rect.bottom, 21);
  EXPECT_STREQ(text, "关 闭");
  EXPECT_TRUE(info.uFlags & TTF_SUBCLASS);

  ToolTip balloon;
  ASSERT_NE(balloon.Create(owner, true), nullptr);
  EXPECT_TRUE(GetWindowLongA(balloon.window(), GWL_STYLE) & TTS_BALLOON);
  DestroyWindow(owner);
}

}  // namespace

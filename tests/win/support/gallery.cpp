#include "support/gallery.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

#include "app/startup.h"
#include "resources/pictures.h"
#include "skin/core/engine.h"
#include "support/windows.h"

namespace {
constexpr char kGalleryClass[] = "QvGallery";
constexpr int kGalleryWidth = 640;
constexpr int kGalleryHeight = 424;
constexpr int kOwnerDrawnItemHeight = 18;
constexpr SIZE kPictureSize{190, 88};

Gallery theGallery;
int theRecordIndex = 0;

// 宋体 at 12 pixels, as the target system draws it: from the font's bitmap glyphs, without
// smoothing. Smoothed glyphs would blend their edges with the tree view's magenta background,
// which the colour key cannot take out.
HFONT galleryFont() {
  static HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "宋体");
  return font;
}

void drawOwnerDrawnItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_LISTBOX || item.itemID == static_cast<UINT>(-1)) return;
  HBRUSH fill = CreateSolidBrush(kOwnerDrawnItemColour);
  FillRect(item.hDC, &item.rcItem, fill);
  DeleteObject(fill);
  char text[64] = {};
  SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
  RECT box = item.rcItem;
  box.left += 4;
  int oldMode = SetBkMode(item.hDC, TRANSPARENT);
  DrawTextA(item.hDC, text, -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(item.hDC, oldMode);
}

LRESULT CALLBACK galleryProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = kOwnerDrawnItemHeight;
      return TRUE;
    case WM_DRAWITEM:
      drawOwnerDrawnItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void registerGalleryClass() {
  WNDCLASSA gallery{};
  gallery.style = CS_DBLCLKS;
  gallery.lpfnWndProc = galleryProcedure;
  gallery.hInstance = GetModuleHandleA(nullptr);
  gallery.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  gallery.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  gallery.lpszClassName = kGalleryClass;
  RegisterClassA(&gallery);
}

HWND child(HWND parent, const char* className, const char* text, DWORD style, int x, int y, int width, int height,
           DWORD exStyle = 0) {
  HWND control = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(galleryFont()), FALSE);
  return control;
}

// Left half the face colour (keyed out by the skin), right half a red-to-yellow ramp.
HBITMAP pictureBitmap() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kPictureSize.cx;
  info.bmiHeader.biHeight = -kPictureSize.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* pixels = static_cast<DWORD*>(bits);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  DWORD faceBgr = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  for (int y = 0; y < kPictureSize.cy; ++y)
    for (int x = 0; x < kPictureSize.cx; ++x)
      pixels[y * kPictureSize.cx + x] =
          x < kPictureSize.cx / 2 ? faceBgr : (0xFFu << 16) | (static_cast<DWORD>(y * 255 / kPictureSize.cy) << 8);
  return bitmap;
}

void fillList(HWND list, std::initializer_list<const char*> items) {
  for (const char* item : items) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

void createGroup(Gallery& g) {
  g.groupBox = child(g.window, "Button", "分组框", BS_GROUPBOX | BS_CENTER, 12, 34, 200, 124);
  g.groupEdit = child(g.groupBox, "Edit", "编辑框", ES_AUTOHSCROLL, 12, 24, 176, 22, WS_EX_CLIENTEDGE);
  g.groupCheck = child(g.groupBox, "Button", "复选框", BS_AUTOCHECKBOX, 12, 56, 100, 20);
  g.groupRadio = child(g.groupBox, "Button", "单选框", BS_AUTORADIOBUTTON, 12, 84, 100, 20);
  SendMessageA(g.groupCheck, BM_SETCHECK, BST_CHECKED, 0);
}

void createTab(Gallery& g) {
  g.tab = child(g.window, WC_TABCONTROLA, "", WS_CLIPSIBLINGS, 222, 34, 200, 124);
  for (const char* name : {"第一页", "第二页"}) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(name);
    SendMessageA(g.tab, TCM_INSERTITEMA, 99, reinterpret_cast<LPARAM>(&item));
  }
  g.tabCombo = child(g.tab, "ComboBox", "", CBS_DROPDOWN | WS_VSCROLL, 12, 40, 170, 160);
  for (const char* item : {"全部运营商", "电信", "联通", "移动"})
    SendMessageA(g.tabCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  SendMessageA(g.tabCombo, CB_SETCURSEL, 0, 0);
}

void createTransparents(Gallery& g) {
  g.label = child(g.window, "Static", "标签：透明的文字", SS_LEFT, 432, 36, 190, 20);
  g.pictureBox = child(g.window, "Static", "", SS_BITMAP, 432, 62, kPictureSize.cx, kPictureSize.cy);
  SendMessageA(g.pictureBox, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictureBitmap()));
  g.pictureButton = child(g.pictureBox, "Button", "按钮", BS_PUSHBUTTON, 10, 50, 70, 26);
}

void createLists(Gallery& g) {
  g.listBox = child(g.window, "ListBox", "", LBS_NOTIFY | WS_BORDER | WS_VSCROLL, 12, 168, 120, 112);
  fillList(g.listBox, {"电信 1.2.3.4", "联通 5.6.7.8", "移动 9.9.9.9", "全部运营商"});
  g.ownerDrawnList =
      child(g.window, "ListBox", "", LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | WS_BORDER, 140, 168, 120, 112);
  fillList(g.ownerDrawnList, {"自绘 一", "自绘 二", "自绘 三"});

  g.listView = child(g.window, WC_LISTVIEWA, "", LVS_REPORT | WS_BORDER, 268, 168, 204, 112);
  const char* columns[] = {"地址", "端口"};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = i == 0 ? 110 : 60;
    column.pszText = const_cast<char*>(columns[i]);
    SendMessageA(g.listView, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  const char* rows[][2] = {{"1.2.3.4", "8080"}, {"5.6.7.8", "3128"}, {"9.9.9.9", "1080"}};
  for (int row = 0; row < 3; ++row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(rows[row][0]);
    SendMessageA(g.listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(rows[row][1]);
    SendMessageA(g.listView, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  }

  g.treeView = child(g.window, WC_TREEVIEWA, "", TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_BORDER, 480, 168,
                     148, 112);
  TVINSERTSTRUCTA insert{};
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.hParent = TVI_ROOT;
  insert.item.pszText = const_cast<char*>("代理");
  auto root =
      reinterpret_cast<HTREEITEM>(SendMessageA(g.treeView, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  for (const char* name : {"电信", "联通"}) {
    insert.hParent = root;
    insert.item.pszText = const_cast<char*>(name);
    SendMessageA(g.treeView, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
  }
  SendMessageA(g.treeView, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}

void createBars(Gallery& g) {
  g.trackBar = child(g.window, TRACKBAR_CLASSA, "", TBS_HORZ | TBS_AUTOTICKS, 12, 292, 200, 32);
  SendMessageA(g.trackBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  SendMessageA(g.trackBar, TBM_SETPOS, TRUE, 40);
  g.verticalTrackBar = child(g.window, TRACKBAR_CLASSA, "", TBS_VERT | TBS_AUTOTICKS, 222, 290, 32, 120);
  SendMessageA(g.verticalTrackBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  SendMessageA(g.verticalTrackBar, TBM_SETPOS, TRUE, 30);
  g.progressBar = child(g.window, PROGRESS_CLASSA, "", 0, 266, 296, 200, 18);
  SendMessageA(g.progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageA(g.progressBar, PBM_SETPOS, 60, 0);
  g.upDown = child(g.window, UPDOWN_CLASSA, "", 0, 480, 292, 22, 36);
  g.horizontalUpDown = child(g.window, UPDOWN_CLASSA, "", UDS_HORZ, 512, 296, 44, 22);
  g.header = child(g.window, WC_HEADERA, "", HDS_HORZ, 266, 330, 360, 24);
  const char* names[] = {"名称", "地址", "端口"};
  for (int i = 0; i < 3; ++i) {
    HDITEMA item{};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.cxy = 100;
    item.fmt = HDF_LEFT | HDF_STRING;
    item.pszText = const_cast<char*>(names[i]);
    SendMessageA(g.header, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

void createGallery() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (!skinEngineExists()) {
    createSkinEngine();
    initialiseModules();
  }
  registerGalleryClass();
  Gallery& g = theGallery;
  int left = (GetSystemMetrics(SM_CXSCREEN) - kGalleryWidth) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - kGalleryHeight) / 2;
  g.window = CreateWindowExA(0, kGalleryClass, "控件一览", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, left, top,
                             kGalleryWidth, kGalleryHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  createGroup(g);
  createTab(g);
  createTransparents(g);
  createLists(g);
  createBars(g);
  skinEngine().skinEntry(g.window, qv_picture_background.toByteSet(), kGalleryTranslucency);
  theRecordIndex = findWindowRecord(g.window);
  ShowWindow(g.window, SW_SHOWNORMAL);
  UpdateWindow(g.window);
  pumpMessages(200);
}
}  // namespace

const Gallery& gallery() {
  if (!theGallery.window) createGallery();
  return theGallery;
}

int galleryRecordIndex() {
  gallery();
  return theRecordIndex;
}

WindowRecord& galleryRecord() {
  return *skinEngine().recordAt(galleryRecordIndex());
}

Capture::Capture(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  width_ = rect.right - rect.left;
  height_ = rect.bottom - rect.top;
  HDC screen = GetWindowDC(window);
  dc_ = CreateCompatibleDC(screen);
  bitmap_ = CreateCompatibleBitmap(screen, width_, height_);
  previous_ = SelectObject(dc_, bitmap_);
  BitBlt(dc_, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  ReleaseDC(window, screen);
}

Capture::~Capture() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

COLORREF Capture::at(int x, int y) const {
  return GetPixel(dc_, x, y);
}

FlatBackground::FlatBackground(COLORREF colour) {
  WindowRecord& record = galleryRecord();
  RECT client;
  GetClientRect(record.window, &client);
  width_ = client.right;
  height_ = client.bottom;
  saved_ = CreateCompatibleDC(record.backgroundDc);
  savedBitmap_ = CreateCompatibleBitmap(record.backgroundDc, width_, height_);
  previous_ = SelectObject(saved_, savedBitmap_);
  BitBlt(saved_, 0, 0, width_, height_, record.backgroundDc, 0, 0, SRCCOPY);
  HBRUSH flat = CreateSolidBrush(colour);
  FillRect(record.backgroundDc, &client, flat);
  DeleteObject(flat);
  repaintGallery();
}

FlatBackground::~FlatBackground() {
  WindowRecord& record = galleryRecord();
  BitBlt(record.backgroundDc, 0, 0, width_, height_, saved_, 0, 0, SRCCOPY);
  SelectObject(saved_, previous_);
  DeleteObject(savedBitmap_);
  DeleteDC(saved_);
  repaintGallery();
}

COLORREF whitened(COLORREF background) {
  auto mix = [](int channel) { return channel + (255 - channel) * kGalleryTranslucency / 255; };
  return RGB(mix(GetRValue(background)), mix(GetGValue(background)), mix(GetBValue(background)));
}

void repaintGallery() {
  repaintNow(gallery().window);
  pumpMessages(20);
}

bool coloursNear(COLORREF actual, COLORREF expected, int tolerance) {
  return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
         std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
         std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

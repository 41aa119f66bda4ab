#include "app/mainWindow.h"

namespace {
// Single-line edit boxes: sunken border, black on white, left-aligned, text scrolls sideways.
constexpr DWORD kLineEdit = ES_LEFT | ES_AUTOHSCROLL;
// The proxy list: Enter breaks lines, long lines wrap at the box's width, vertical scroll bar.
constexpr DWORD kListEdit = ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
constexpr DWORD kSunken = WS_EX_CLIENTEDGE;
constexpr DWORD kSeeThrough = WS_EX_TRANSPARENT;

// Frameless, but keeps the minimise box so the task bar can minimise and restore it.
constexpr DWORD kWindowStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
// The captions stand on the dark skin photograph.
constexpr COLORREF kLabelColour = RGB(255, 255, 255);
}  // namespace

const WindowDefinition& mainWindowDefinition() {
  using enum ControlKind;
  // One control a row, in creation order: name, kind, x, y, width, height, text, style, extended style, items.
  // clang-format off
  static const WindowDefinition definition{
      kMainWindowCaption,
      467,
      292,
      kWindowStyle,
      0,
      kLabelColour,
      {
          {control::kSaveButton, Button, 104, 224, 72, 40, "保存", 0, 0, {}},
          {control::kProxyList, EditBox, 200, 32, 240, 240, "", kListEdit, kSunken, {}},
          {"透明标签5", TransparentLabel, 24, 152, 40, 24, "地区：", 0, kSeeThrough, {}},
          {control::kRegion, EditBox, 78, 157, 88, 20, "", kLineEdit, kSunken, {}},
          {control::kExtractButton, Button, 16, 224, 72, 40, "提取", 0, 0, {}},
          {"透明标签4", TransparentLabel, 24, 184, 40, 24, "运营商：", 0, kSeeThrough, {}},
          {"透明标签3", TransparentLabel, 22, 80, 48, 24, "开头：", 0, kSeeThrough, {}},
          {"透明标签2", TransparentLabel, 24, 113, 40, 24, "端口：", 0, kSeeThrough, {}},
          {"透明标签1", TransparentLabel, 19, 40, 40, 32, "数量：", 0, kSeeThrough, {}},
          {control::kCarrier, ComboBox, 74, 189, 97, 20, kAllCarriers, CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
           {kAllCarriers, "电信", "联通", "移动"}},
          {control::kQuantity, EditBox, 78, 44, 88, 23, "20", kLineEdit, kSunken, {}},
          {control::kLeadingPart, EditBox, 78, 84, 88, 23, "11", kLineEdit, kSunken, {}},
          {control::kPort, EditBox, 78, 117, 88, 23, "18186", kLineEdit, kSunken, {}},
      }};
  // clang-format on
  return definition;
}

Form& mainForm() {
  static Form form;
  return form;
}

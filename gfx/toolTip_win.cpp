#include "gfx/toolTip.h"

#include <commctrl.h>

#include "win32/declared.h"

namespace {

// The record size that every common-controls version accepts.
const UINT kToolInfoSize = TTTOOLINFOA_V1_SIZE;

TOOLINFOA toolInfo(HWND owner, UINT_PTR toolId) {
  TOOLINFOA info = {};
  info.cbSize = kToolInfoSize;
  info.hwnd = owner;
  info.uId = toolId;
  return info;
}

}  // namespace

HWND ToolTip::Create(HWND owner, bool balloon) {
  owner_ = owner;
  // The tooltip class is registered by the common controls, which nothing else may have loaded.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_TAB_CLASSES};
  dll::InitCommonControlsEx(&classes);
  DWORD style = TTS_ALWAYSTIP | (balloon ? TTS_BALLOON : 0);
  window_ = dll::CreateWindowExA(0, TOOLTIPS_CLASSA, "", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, nullptr, nullptr, dll::GetModuleHandleA(nullptr), nullptr);
  return window_;
}

bool ToolTip::AddTool(const RECT& rectangle, const Text& text, UINT_PTR toolId) {
  TOOLINFOA info = toolInfo(owner_, toolId);
  info.uFlags = TTF_SUBCLASS;
  info.rect = rectangle;
  info.lpszText = const_cast<char*>(text.c_str());
  return dll::SendMessageA(window_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

void ToolTip::SetToolRect(UINT_PTR toolId, const RECT& rectangle) {
  TOOLINFOA info = toolInfo(owner_, toolId);
  info.rect = rectangle;
  dll::SendMessageA(window_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::UpdateToolText(UINT_PTR toolId, const Text& text) {
  TOOLINFOA info = toolInfo(owner_, toolId);
  info.lpszText = const_cast<char*>(text.c_str());
  dll::SendMessageA(window_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

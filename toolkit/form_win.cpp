#include "toolkit/form.h"

#include "toolkit/transparentLabel.h"

namespace {
constexpr char kWindowClass[] = "QvWindow";
constexpr int kFirstControlId = 1001;

HINSTANCE programInstance() {
  return GetModuleHandleA(nullptr);
}

void registerWindowClass(HINSTANCE instance, HICON icon, WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, kWindowClass, &existing)) return;
  WNDCLASSA window{};
  window.style = CS_DBLCLKS;
  window.lpfnWndProc = procedure;
  window.hInstance = instance;
  window.hIcon = icon;
  window.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window.lpszClassName = kWindowClass;
  RegisterClassA(&window);
}

struct KindTraits {
  const char* className;
  DWORD baseStyle;
};

KindTraits traitsOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::EditBox:
      return {"EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP};
    case ControlKind::Button:
      return {"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON};
    case ControlKind::ComboBox:
      return {"COMBOBOX", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL};
    case ControlKind::TransparentLabel:
      return {kTransparentLabelClass, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS};
  }
  return {"STATIC", WS_CHILD | WS_VISIBLE};
}

// A drop-down combo box's window also spans its list; the closed box keeps the defined height.
constexpr int kComboListHeight = 160;
constexpr int kComboSelectionBorder = 6;
}  // namespace

Form::~Form() {
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

bool Form::create(const WindowDefinition& definition, HICON icon) {
  HINSTANCE instance = programInstance();
  registerWindowClass(instance, icon, procedure);
  registerTransparentLabel(instance);

  // Centred on the screen whatever its size; no stored position is used.
  int left = (GetSystemMetrics(SM_CXSCREEN) - definition.width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - definition.height) / 2;
  window_ = CreateWindowExA(definition.exStyle, kWindowClass, definition.caption, definition.style, left, top,
                            definition.width, definition.height, nullptr, nullptr, instance, this);
  if (!window_) return false;
  if (icon) {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }

  int id = kFirstControlId;
  for (const ControlDefinition& control : definition.controls) {
    HWND child = createControl(control, id);
    if (!child) {
      // Not complete: its WM_DESTROY posts no quit message, which would end the modal loop of
      // the error box that reports the failure before the user has seen it.
      DestroyWindow(window_);
      window_ = nullptr;
      return false;
    }
    if (control.kind == ControlKind::TransparentLabel) setLabelTextColour(child, definition.labelColour);
    controls_[control.name] = child;
    namesById_[id] = control.name;
    ++id;
  }
  complete_ = true;

  if (created_) created_();
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  return true;
}

HWND Form::createControl(const ControlDefinition& control, int id) {
  KindTraits traits = traitsOf(control.kind);
  int height = control.kind == ControlKind::ComboBox ? control.height + kComboListHeight : control.height;
  HWND child = CreateWindowExA(control.exStyle, traits.className, control.text, traits.baseStyle | control.style,
                               control.left, control.top, control.width, height, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), programInstance(), nullptr);
  if (!child) return nullptr;
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);

  switch (control.kind) {
    case ControlKind::EditBox:
      SendMessageA(child, EM_LIMITTEXT, 0, 0);  // no length limit
      break;
    case ControlKind::ComboBox:
      for (const char* item : control.items) SendMessageA(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      SendMessageA(child, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), control.height - kComboSelectionBorder);
      SendMessageA(child, CB_LIMITTEXT, 0, 0);
      // The edit part shows the initial text with no item selected.
      SetWindowTextA(child, control.text);
      break;
    default:
      break;
  }
  return child;
}

HWND Form::control(const std::string& name) const {
  auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second;
}

LRESULT CALLBACK Form::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  return form->handleMessage(window, message, wParam, lParam);
}

LRESULT Form::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        auto name = namesById_.find(LOWORD(wParam));
        if (name != namesById_.end()) {
          auto handler = clicks_.find(name->second);
          if (handler != clicks_.end() && handler->second) handler->second();
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (complete_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

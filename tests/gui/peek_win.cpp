// gui_peek.exe: what a person sees of the running program, read from outside its process, plus the
// two things the task bar would do for them. A separate program: nothing of it is inside the
// product. Everything it prints is UTF-8, one item per line, fields separated by tabs.
//
//   gui_peek state            the main window and every child: position, focus, selection, text
//   gui_peek dialogs          every message box on the desktop: owner process, caption, text
//   gui_peek restore | close  what the task bar does: WM_SYSCOMMAND SC_RESTORE or SC_CLOSE
//   gui_peek other SECONDS    shows another program's window (top left, 160 x 100) for a while
//
// Texts are escaped so each stays on one line: backslash, tab, CR and LF as \\ \t \r \n.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kMainCaption[] = L"Quorvelip提取系统 V2.6";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageTextId = 0xFFFF;

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// WM_GETTEXT answered by the window's own thread, with a time-out so a busy program is reported
// rather than waited on for ever.
std::wstring textOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"<busy>";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                      &copied);
  text.resize(copied);
  return text;
}

std::string classOf(HWND window) {
  wchar_t name[64];
  int length = GetClassNameW(window, name, 64);
  return utf8(std::wstring(name, static_cast<size_t>(length > 0 ? length : 0)));
}

DWORD_PTR ask(HWND window, UINT message) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  return answer;
}

HWND mainWindow() {
  return FindWindowW(nullptr, kMainCaption);
}

// One child: its place in the main window's client area, class, focus, selection, text.
void printControl(HWND main, HWND child, HWND focus, const char* kind) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
  std::string className = classOf(child);
  bool edit = lstrcmpiA(className.c_str(), "Edit") == 0;
  DWORD_PTR selection = edit ? ask(child, EM_GETSEL) : 0;
  std::printf("%s\t%ld\t%ld\t%ld\t%ld\t%s\tfocus=%d\tsel=%u,%u", kind, rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top, className.c_str(), child == focus ? 1 : 0,
              static_cast<unsigned>(LOWORD(selection)), static_cast<unsigned>(HIWORD(selection)));
  if (className == "ComboBox")
    std::printf("\tdropped=%d\tcurrent=%d", static_cast<int>(ask(child, CB_GETDROPPEDSTATE)),
                static_cast<int>(static_cast<LRESULT>(ask(child, CB_GETCURSEL))));
  std::printf("\ttext=%s\n", escaped(utf8(textOf(child))).c_str());
}

int printState() {
  HWND main = mainWindow();
  if (!main) {
    std::printf("window\tnone\n");
    return 1;
  }
  DWORD processId = 0;
  DWORD thread = GetWindowThreadProcessId(main, &processId);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(thread, &gui);
  RECT rect;
  GetWindowRect(main, &rect);
  std::printf("window\t%ld\t%ld\t%ld\t%ld\ticonic=%d\tvisible=%d\tforeground=%d\tactive=%d\tpid=%lu\n", rect.left,
              rect.top, rect.right - rect.left, rect.bottom - rect.top, IsIconic(main) ? 1 : 0,
              IsWindowVisible(main) ? 1 : 0, GetForegroundWindow() == main ? 1 : 0, gui.hwndActive == main ? 1 : 0,
              static_cast<unsigned long>(processId));
  for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    printControl(main, child, gui.hwndFocus, "control");
    // The edit field inside a drop-down combo box is a window of its own.
    for (HWND inner = GetWindow(child, GW_CHILD); inner; inner = GetWindow(inner, GW_HWNDNEXT))
      printControl(main, inner, gui.hwndFocus, "inner");
  }
  return 0;
}

BOOL CALLBACK printDialog(HWND window, LPARAM) {
  if (classOf(window) != utf8(kDialogClass) || !IsWindowVisible(window)) return TRUE;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HWND text = GetDlgItem(window, kMessageTextId);
  std::printf("dialog\tpid=%lu\tcaption=%s\ttext=%s\n", static_cast<unsigned long>(processId),
              escaped(utf8(textOf(window))).c_str(), text ? escaped(utf8(textOf(text))).c_str() : "");
  return TRUE;
}

int taskBar(WPARAM command) {
  HWND main = mainWindow();
  if (!main) return 1;
  PostMessageW(main, WM_SYSCOMMAND, command, 0);
  return 0;
}

LRESULT CALLBACK otherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

// Another program's window: clicking it takes the activation away from the main window.
int showOther(int seconds) {
  WNDCLASSW type{};
  type.lpfnWndProc = otherProcedure;
  type.hInstance = GetModuleHandleW(nullptr);
  type.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  type.lpszClassName = L"QvOtherProgram";
  RegisterClassW(&type);
  HWND window = CreateWindowExW(0, type.lpszClassName, L"other program", WS_POPUP | WS_BORDER | WS_VISIBLE, 0, 0, 160,
                                100, nullptr, nullptr, type.hInstance, nullptr);
  if (!window) return 1;
  std::printf("other\tready\n");
  std::fflush(stdout);
  SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == window) DestroyWindow(window);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  int status = 2;
  if (verb == "state")
    status = printState();
  else if (verb == "dialogs")
    status = EnumWindows(printDialog, 0) ? 0 : 1;
  else if (verb == "restore")
    status = taskBar(SC_RESTORE);
  else if (verb == "close")
    status = taskBar(SC_CLOSE);
  else if (verb == "other" && argc > 2)
    status = showOther(std::atoi(argv[2]));
  else
    std::fprintf(stderr, "usage: gui_peek state | dialogs | restore | close | other SECONDS\n");
  std::fflush(stdout);
  return status;
}

// Start-up: process start to the first paint of the skinned main window, and the working set
// after start, beside a plain unskinned window program (this program in --plain mode).
// Usage: startup_bench <quorvelip.exe>
#include <psapi.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchTiming.h"

namespace {

constexpr int kRuns = 7;

LRESULT CALLBACK plainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

// The baseline: one plain window of the same size with a button, no skin.
int runPlainWindow() {
  WNDCLASSA plain{};
  plain.lpfnWndProc = plainProcedure;
  plain.hInstance = GetModuleHandleA(nullptr);
  plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  plain.lpszClassName = "QvPlainBench";
  RegisterClassA(&plain);
  HWND window = CreateWindowExA(0, "QvPlainBench", "Plain bench window", WS_POPUP | WS_VISIBLE, 100, 100, 467, 292,
                                nullptr, nullptr, plain.hInstance, nullptr);
  CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE, 16, 224, 72, 40, window, nullptr, plain.hInstance, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

struct StartResult {
  double ms = 0;
  double workingSetMb = 0;
};

// Starts the command, waits until its window is up and the process idles after painting it.
StartResult timeStart(const std::string& command, const char* windowTitlePrefix) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = command;
  StartResult result;
  double begin = nowMs();
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return result;
  HWND window = nullptr;
  for (int i = 0; i < 2000 && !window; ++i) {
    char title[128];
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(top, &owner);
      if (owner == process.dwProcessId && IsWindowVisible(top) && GetWindowTextA(top, title, sizeof title) > 0 &&
          std::strncmp(title, windowTitlePrefix, std::strlen(windowTitlePrefix)) == 0) {
        window = top;
        break;
      }
    }
    if (!window) Sleep(1);
  }
  WaitForInputIdle(process.hProcess, 10000);
  // A sent message returns only once the window's thread has handled everything before it.
  DWORD_PTR ignored = 0;
  if (window) SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
  result.ms = nowMs() - begin;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
    result.workingSetMb = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--plain") == 0) return runPlainWindow();
  if (argc < 2) {
    std::printf("usage: startup_bench <quorvelip.exe>\n");
    return 2;
  }
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string program = std::string("\"") + argv[1] + "\"";
  std::string plain = std::string("\"") + self + "\" --plain";

  std::vector<double> oursMs, oursSet, plainMs, plainSet;
  for (int run = 0; run < kRuns; ++run) {
    StartResult started = timeStart(program, "Quorvelip");
    oursMs.push_back(started.ms);
    oursSet.push_back(started.workingSetMb);
    started = timeStart(plain, "Plain bench window");
    plainMs.push_back(started.ms);
    plainSet.push_back(started.workingSetMb);
  }
  printResult("startup_first_paint", summarise(oursMs), summarise(plainMs));
  printResult("startup_working_set", summarise(oursSet), summarise(plainSet), "MB");
  return 0;
}

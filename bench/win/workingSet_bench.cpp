// Working set before and after a trim: touches 50 MB, then lets the trim procedure run the carried
// tool on this process, and compares with emptying the working set directly. Prints the numbers
// (not a test: Wine may treat the trim as a no-op, which this shows rather than fails on).
#include <windows.h>
// After windows.h, which it builds on.
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "skin/frame/trim.h"

namespace {

constexpr SIZE_T kTouchedBytes = 50u << 20;
constexpr double kMegabyte = 1024.0 * 1024.0;

double workingSetMb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<double>(counters.WorkingSetSize) / kMegabyte;
}

void touch(unsigned char* block) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  for (SIZE_T offset = 0; offset < kTouchedBytes; offset += system.dwPageSize) block[offset] = 1;
}

}  // namespace

int main() {
  // The tool goes to a scratch "Windows folder", not the real one.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "qv-trim-bench";
  CreateDirectoryA(folder.c_str(), nullptr);
  SetEnvironmentVariableA("windir", folder.c_str());

  auto* block = static_cast<unsigned char*>(VirtualAlloc(nullptr, kTouchedBytes, MEM_COMMIT, PAGE_READWRITE));
  if (!block) return 1;

  std::printf("working set at start:                  %8.1f MB\n", workingSetMb());
  touch(block);
  std::printf("after touching 50 MB:                  %8.1f MB\n", workingSetMb());
  DWORD started = GetTickCount();
  trimWorkingSet(nullptr);
  DWORD elapsed = GetTickCount() - started;
  std::printf("after the trim tool (%4lu ms):         %8.1f MB\n", static_cast<unsigned long>(elapsed), workingSetMb());

  touch(block);
  std::printf("touched again:                         %8.1f MB\n", workingSetMb());
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  std::printf("after SetProcessWorkingSetSize(-1,-1): %8.1f MB\n", workingSetMb());
  VirtualFree(block, 0, MEM_RELEASE);
  std::printf("after freeing the 50 MB:               %8.1f MB\n", workingSetMb());

  std::string tool = folder + "\\empty.exe";
  DeleteFileA(tool.c_str());
  RemoveDirectoryA(folder.c_str());
  return 0;
}

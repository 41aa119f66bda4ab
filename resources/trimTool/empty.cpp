// empty.exe: empties the working set of one process, given by decimal id, or of every process
// with a given image name. The program writes this tool out and runs it with its own id.
//
// Output (each line ends as the C runtime writes "\n" to a text stream, "\r\n"):
//   no argument:     "USAGE: empty.exe {pid | task-name}" then "missing pid or task name"  (exit 1)
//   failure:         "could not empty working set for process #<pid>"                      (exit 2)
//                    "could not empty working set for process #<pid> [<task-name>]"        (exit 2)
//   unknown task:    "could not find task [<task-name>]"                                    (exit 2)
//   privilege steps: "<step> failed with <error>", then the tool carries on: a process of the
//                    same user can be trimmed without the debug privilege.
// A separate tiny program: it calls Windows directly rather than through the program's table.
#include <windows.h>
// After windows.h, which it builds on.
#include <tlhelp32.h>

#include <cstdio>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;

void enableDebugPrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    std::printf("OpenProcessToken failed with %d\n", static_cast<int>(GetLastError()));
    return;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // A token that lacks the privilege still succeeds (ERROR_NOT_ALL_ASSIGNED): no line for that,
  // since the user's own processes open without it.
  if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
    std::printf("LookupPrivilegeValue failed with %d\n", static_cast<int>(GetLastError()));
  } else if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr)) {
    std::printf("AdjustTokenPrivileges failed with %d\n", static_cast<int>(GetLastError()));
  }
  CloseHandle(token);
}

bool emptyWorkingSet(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (!process) return false;
  // (-1, -1) removes as many pages as possible, as psapi's EmptyWorkingSet does.
  bool emptied = SetProcessWorkingSetSize(process, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  CloseHandle(process);
  return emptied;
}

// A decimal process id: digits only, and it fits 32 bits.
bool parseProcessId(const char* text, DWORD& processId) {
  unsigned long long value = 0;
  if (*text == '\0') return false;
  for (const char* digit = text; *digit; ++digit) {
    if (*digit < '0' || *digit > '9') return false;
    value = value * 10 + static_cast<unsigned>(*digit - '0');
    if (value > 0xFFFFFFFFull) return false;
  }
  processId = static_cast<DWORD>(value);
  return true;
}

int emptyTask(const char* taskName) {
  // Image names compare like file names: case-insensitive over the whole of Unicode.
  wchar_t wideName[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, taskName, -1, wideName, MAX_PATH)) wideName[0] = L'\0';
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    std::printf("could not find task [%s]\n", taskName);
    return kExitFailed;
  }
  int found = 0;
  int failed = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (wideName[0] == L'\0' || CompareStringOrdinal(entry.szExeFile, -1, wideName, -1, TRUE) != CSTR_EQUAL) continue;
    ++found;
    if (!emptyWorkingSet(entry.th32ProcessID)) {
      ++failed;
      std::printf("could not empty working set for process #%d [%s]\n", static_cast<int>(entry.th32ProcessID),
                  taskName);
    }
  }
  CloseHandle(snapshot);
  if (found == 0) std::printf("could not find task [%s]\n", taskName);
  return found == 0 || failed > 0 ? kExitFailed : kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("USAGE: empty.exe {pid | task-name}\n");
    std::printf("missing pid or task name\n");
    return kExitUsage;
  }
  enableDebugPrivilege();
  DWORD processId;
  if (!parseProcessId(argv[1], processId)) return emptyTask(argv[1]);
  if (emptyWorkingSet(processId)) return kExitDone;
  std::printf("could not empty working set for process #%d\n", static_cast<int>(processId));
  return kExitFailed;
}

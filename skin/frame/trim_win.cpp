#include "skin/frame/trim.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "resources/trimTool.h"
#include "win32/declared.h"

// After windows.h (through win32/declared.h), which it builds on.
#include <shlwapi.h>

static_assert(std::is_same_v<decltype(::SHCreateThread), std::remove_pointer_t<decltype(dll::SHCreateThread.target())>>,
              "the SHCreateThread row must have the header's type");

namespace {

constexpr char kToolFileName[] = "\\empty.exe";
// How long the end of the process waits for tools being started: far above the start of a
// process, even under Wine on a loaded machine.
constexpr DWORD kExitWaitMs = 15000;
constexpr DWORD kExitPollMs = 10;

// Trim threads inside the start of their tool, and whether the process has begun to end. Both
// sequentially consistent: a thread that counts itself in and then finds the process still going
// is certain to be waited for (awaitToolStarts sets the mark and then reads the count).
std::atomic<int> toolsStarting{0};
std::atomic<bool> processEnding{false};

// Owns a kernel handle (file, process, thread) for one scope.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  ~KernelHandle() { close(); }

  explicit operator bool() const { return handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  void close() {
    if (handle_) dll::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

bool isDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// The value of "windir" when it names a folder by a full path ("C:\Windows", "\\server\share").
// Empty otherwise: a missing, empty or relative value would put the tool in the current folder
// or at the root of the current drive, and a bare drive root is no Windows folder either.
std::string windowsFolder() {
  DWORD size = dll::GetEnvironmentVariableA("windir", nullptr, 0);
  if (size == 0) return {};
  std::string value(size, '\0');
  DWORD length = dll::GetEnvironmentVariableA("windir", value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  bool onDrive = length > 3 && isDriveLetter(value[0]) && value[1] == ':' && isSeparator(value[2]);
  bool onShare = length > 2 && isSeparator(value[0]) && isSeparator(value[1]);
  return onDrive || onShare ? value : std::string();
}

bool fileExists(const std::string& path) {
  DWORD attributes = dll::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the tool under a name of this thread's own and then moves it into place, so a write
// that fails half-way (a full disk) never leaves a broken tool at the path to be run from then
// on. An existing file is never replaced: another trim thread may have placed the same bytes.
void writeTool(const std::string& path) {
  std::string temporary = path + "." + std::to_string(dll::GetCurrentProcessId()) + "." +
                          std::to_string(dll::GetCurrentThreadId()) + ".tmp";
  KernelHandle file(
      dll::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  DWORD count = static_cast<DWORD>(qv_trim_tool.count);
  bool complete = dll::WriteFile(file.get(), qv_trim_tool.begin(), count, &written, nullptr) && written == count;
  file.close();
  if (!complete || !dll::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
    dll::DeleteFileA(temporary.c_str());
}

// Runs "path pid" hidden and waits for it without a time-out. False when it did not start.
bool runTool(const std::string& path) {
  // Quoted only when it must be, so the tool's first argument is the id even in a folder
  // with blanks; the application name is given too, so nothing else is ever searched for.
  bool blank = path.find_first_of(" \t") != std::string::npos;
  std::string command = (blank ? "\"" + path + "\"" : path) + " " + std::to_string(dll::GetCurrentProcessId());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // No standard handles and no console: the tool's output is not read, and an inherited
  // handle would keep whoever reads ours (a pipe) waiting for as long as the tool runs.
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  toolsStarting.fetch_add(1);
  // The process is ending: the tool would trim a process on its way out. Counts as run.
  if (processEnding.load()) {
    toolsStarting.fetch_sub(1);
    return true;
  }
  bool created = dll::CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                     nullptr, &startup, &started);
  toolsStarting.fetch_sub(1);
  if (!created) return false;
  KernelHandle process(started.hProcess);
  KernelHandle thread(started.hThread);
  dll::WaitForSingleObject(process.get(), INFINITE);
  return true;
}

void emptyOwnWorkingSet() {
  dll::SetProcessWorkingSetSize(dll::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

}  // namespace

DWORD WINAPI trimWorkingSet(void*) {
  std::string folder = windowsFolder();
  if (folder.empty()) {
    emptyOwnWorkingSet();
    return 0;
  }
  std::string path = folder + kToolFileName;
  if (!fileExists(path)) writeTool(path);
  if (!runTool(path)) emptyOwnWorkingSet();
  return 0;
}

void awaitToolStarts(DWORD timeoutMs) {
  processEnding.store(true);
  for (DWORD waited = 0; toolsStarting.load() > 0 && waited < timeoutMs; waited += kExitPollMs) dll::Sleep(kExitPollMs);
}

void startWorkingSetTrim() {
  // Registered late, so it runs before the destructors of the tables the trim thread uses.
  static const bool awaitedAtExit = std::atexit([] { awaitToolStarts(kExitWaitMs); }) == 0;
  (void)awaitedAtExit;
  dll::SHCreateThread(trimWorkingSet, nullptr, 0, nullptr);
}

void onActivateApp(HWND window, WPARAM active) {
  if (active != 0) return;
  if (window && !dll::IsWindowVisible(window)) return;
  startWorkingSetTrim();
}

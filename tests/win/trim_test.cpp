// Working-set trim: the tool is written to "windir" + "\empty.exe" only when no file is there, run
// with our process id, and never written anywhere else; the carried tool's own behaviour.
//
// The tests point "windir" at scratch folders. To see what the trim runs, a copy of this test
// program is placed there as empty.exe: started under that name it records its command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/trimTool.h"
#include "skin/frame/trim.h"

namespace fs = std::filesystem;

namespace {

constexpr char kCommandLog[] = "commands.txt";
constexpr DWORD kWaitForThreadMs = 20000;

std::string ownPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

// The recorder: this program started as empty.exe appends its command line to commands.txt
// beside itself and ends before the tests' main runs.
[[maybe_unused]] const bool recorderChecked = [] {
  fs::path self = ownPath();
  std::string name = self.filename().string();
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  if (name != "empty.exe") return false;
  std::string line = std::string(GetCommandLineA()) + "\n";
  HANDLE log = CreateFileA((self.parent_path() / kCommandLog).string().c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
  ExitProcess(0);
}();

std::string fileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string carriedTool() {
  return std::string(qv_trim_tool.begin(), qv_trim_tool.end());
}

std::set<std::string> folderNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::vector<std::string> loggedCommands(const fs::path& folder) {
  std::vector<std::string> lines;
  std::ifstream log(folder / kCommandLog);
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

// Polls until check() holds or timeoutMs has passed; the trim thread runs on its own time.
template <typename Check>
bool waitFor(Check check, DWORD timeoutMs = kWaitForThreadMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (check()) return true;
    Sleep(50);
  }
  return check();
}

class TrimTest : public testing::Test {
 protected:
  void SetUp() override {
    char saved[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("windir", saved, MAX_PATH);
    hadWindir_ = length > 0 && length < MAX_PATH;
    if (hadWindir_) savedWindir_.assign(saved, length);
    char currentFolder[MAX_PATH];
    savedCurrentFolder_.assign(currentFolder, GetCurrentDirectoryA(MAX_PATH, currentFolder));

    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    scratch_ = fs::absolute(fs::path("trim-scratch") / test->name());
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
    fs::create_directories(scratch_);
  }

  void TearDown() override {
    SetCurrentDirectoryA(savedCurrentFolder_.c_str());
    SetEnvironmentVariableA("windir", hadWindir_ ? savedWindir_.c_str() : nullptr);
  }

  // A fresh folder inside the scratch folder, made "windir".
  fs::path windowsFolder(const char* name) {
    fs::path folder = scratch_ / name;
    fs::create_directories(folder);
    SetEnvironmentVariableA("windir", folder.string().c_str());
    return folder;
  }

  static void placeRecorder(const fs::path& folder) { fs::copy_file(ownPath(), folder / "empty.exe"); }

  static std::string expectedCommand(const fs::path& folder) {
    return (folder / "empty.exe").string() + " " + std::to_string(GetCurrentProcessId());
  }

  fs::path scratch_;

 private:
  bool hadWindir_ = false;
  std::string savedWindir_;
  std::string savedCurrentFolder_;
};

TEST_F(TrimTest, CarriedToolIsAConsoleProgramForThisMachine) {
  ASSERT_GT(qv_trim_tool.count, 0x200);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(qv_trim_tool.begin());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT(dos->e_lfanew, qv_trim_tool.count - static_cast<LONG>(sizeof(IMAGE_NT_HEADERS)));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(qv_trim_tool.begin() + dos->e_lfanew);
  EXPECT_EQ(nt->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
#ifdef _WIN64
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST_F(TrimTest, MissingToolIsWrittenWithTheCarriedBytesAndNothingElse) {
  fs::path folder = windowsFolder("Windows");
  trimWorkingSet(nullptr);
  EXPECT_EQ(folderNames(folder), std::set<std::string>{"empty.exe"}) << "no temporary file may be left";
  EXPECT_EQ(fileBytes(folder / "empty.exe"), carriedTool());
}

TEST_F(TrimTest, ExistingFileIsRunUnchangedWithOurProcessIdAndAwaited) {
  fs::path folder = windowsFolder("Windows");
  placeRecorder(folder);
  std::string before = fileBytes(folder / "empty.exe");

  trimWorkingSet(nullptr);
  // The procedure waits for the tool, so its record is complete on return.
  EXPECT_EQ(loggedCommands(folder), std::vector<std::string>{expectedCommand(folder)});
  EXPECT_EQ(fileBytes(folder / "empty.exe"), before);
  EXPECT_EQ(folderNames(folder), (std::set<std::string>{"empty.exe", kCommandLog}));

  trimWorkingSet(nullptr);
  EXPECT_EQ(loggedCommands(folder).size(), 2u) << "each trim runs the tool again";
}

TEST_F(TrimTest, FolderWithBlanksStillPassesTheIdAsTheFirstArgument) {
  fs::path folder = windowsFolder("My Windows");
  placeRecorder(folder);
  trimWorkingSet(nullptr);
  EXPECT_EQ(loggedCommands(folder), std::vector<std::string>{"\"" + (folder / "empty.exe").string() + "\" " +
                                                             std::to_string(GetCurrentProcessId())});
}

TEST_F(TrimTest, WithoutAFullWindirPathNothingIsWrittenAnywhere) {
  fs::path current = scratch_ / "current";
  fs::create_directories(current / "relative");
  ASSERT_TRUE(SetCurrentDirectoryA(current.string().c_str()));
  // Left alone if some other run put one there; then only the other cases can catch a write.
  bool rootHadTool = GetFileAttributesA("\\empty.exe") != INVALID_FILE_ATTRIBUTES;
  bool driveRootHadTool = GetFileAttributesA("C:\\empty.exe") != INVALID_FILE_ATTRIBUTES;

  const char* unset = nullptr;
  for (const char* windir : {unset, "", "relative", "C:", "C:\\"}) {
    SCOPED_TRACE(windir ? std::string("windir=\"") + windir + "\"" : std::string("windir unset"));
    SetEnvironmentVariableA("windir", windir);
    trimWorkingSet(nullptr);
    EXPECT_TRUE(fs::is_empty(current / "relative"));
    EXPECT_EQ(folderNames(current), std::set<std::string>{"relative"});
    EXPECT_TRUE(rootHadTool || GetFileAttributesA("\\empty.exe") == INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(driveRootHadTool || GetFileAttributesA("C:\\empty.exe") == INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(TrimTest, UnwritableFolderLeavesNoFileAndDoesNotHang) {
  // A "windir" that is a file: neither the temporary file nor the tool can be made inside it.
  fs::path notAFolder = scratch_ / "file";
  std::ofstream(notAFolder) << "x";
  SetEnvironmentVariableA("windir", notAFolder.string().c_str());
  trimWorkingSet(nullptr);
  EXPECT_EQ(folderNames(scratch_), std::set<std::string>{"file"});
  EXPECT_EQ(fileBytes(notAFolder), "x");
}

TEST_F(TrimTest, LosingActivationWritesAndRunsTheToolOnAThreadOfItsOwn) {
  fs::path missing = windowsFolder("missing");
  onActivateApp(nullptr, 0);
  ASSERT_TRUE(waitFor([&] { return fs::exists(missing / "empty.exe"); }));
  // Moved into place whole, so the first sight of the file is the complete tool.
  EXPECT_EQ(fileBytes(missing / "empty.exe"), carriedTool());

  fs::path present = windowsFolder("present");
  placeRecorder(present);
  onActivateApp(nullptr, 0);
  ASSERT_TRUE(waitFor([&] { return !loggedCommands(present).empty(); }));
  EXPECT_EQ(loggedCommands(present), std::vector<std::string>{expectedCommand(present)});
}

TEST_F(TrimTest, BecomingActiveStartsNothing) {
  fs::path missing = windowsFolder("missing");
  onActivateApp(nullptr, 1);
  Sleep(1500);
  EXPECT_TRUE(fs::is_empty(missing));

  fs::path present = windowsFolder("present");
  placeRecorder(present);
  // Started in this order, the trim of the loss would come after any trim of the activation.
  onActivateApp(nullptr, 1);
  onActivateApp(nullptr, 0);
  ASSERT_TRUE(waitFor([&] { return !loggedCommands(present).empty(); }));
  Sleep(1000);
  EXPECT_EQ(loggedCommands(present).size(), 1u);
}

TEST_F(TrimTest, HiddenWindowLosingActivationStartsNothing) {
  // The window's own closing hides it before the activation moves on: that loss is no idle time.
  HWND window = CreateWindowExA(0, "STATIC", "trim", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  fs::path present = windowsFolder("present");
  placeRecorder(present);
  onActivateApp(window, 0);
  Sleep(1500);
  EXPECT_TRUE(loggedCommands(present).empty());

  ShowWindow(window, SW_SHOWNOACTIVATE);
  onActivateApp(window, 0);
  EXPECT_TRUE(waitFor([&] { return !loggedCommands(present).empty(); }));
  DestroyWindow(window);
}

// The carried tool, written to a scratch folder and run with its output captured.
class TrimToolTest : public TrimTest {
 protected:
  struct Run {
    std::string output;  // stdout and stderr together
    DWORD exitCode = 0xFFFFFFFF;
  };

  void SetUp() override {
    TrimTest::SetUp();
    tool_ = scratch_ / "empty.exe";
    std::ofstream(tool_, std::ios::binary) << carriedTool();
  }

  Run runTool(const std::string& arguments) {
    Run run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string command = "\"" + tool_.string() + "\"" + (arguments.empty() ? "" : " " + arguments);
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(tool_.string().c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
      char buffer[512];
      DWORD got;
      while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
      WaitForSingleObject(process.hProcess, INFINITE);
      GetExitCodeProcess(process.hProcess, &run.exitCode);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return run;
  }

  fs::path tool_;
};

TEST_F(TrimToolTest, ProcessIdOfALiveProcessIsEmptiedSilently) {
  Run run = runTool(std::to_string(GetCurrentProcessId()));
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(TrimToolTest, TaskNameMatchesImageNamesInAnyLetterCase) {
  std::string name = fs::path(ownPath()).filename().string();
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  ASSERT_NE(upper, name);
  for (const std::string& task : {name, upper}) {
    SCOPED_TRACE(task);
    Run run = runTool(task);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exitCode, 0u);
  }
}

TEST_F(TrimToolTest, MissingArgumentPrintsTheUsageThenWhatIsMissing) {
  Run run = runTool("");
  EXPECT_EQ(run.output, "USAGE: empty.exe {pid | task-name}\r\nmissing pid or task name\r\n");
  EXPECT_EQ(run.exitCode, 1u);
}

TEST_F(TrimToolTest, UnknownProcessIdOrTaskNameIsReported) {
  // Process ids are small multiples of four; this one is never handed out.
  Run byId = runTool("2147483632");
  EXPECT_EQ(byId.output, "could not empty working set for process #2147483632\r\n");
  EXPECT_EQ(byId.exitCode, 2u);

  Run byName = runTool("qv-no-such-task.exe");
  EXPECT_EQ(byName.output, "could not find task [qv-no-such-task.exe]\r\n");
  EXPECT_EQ(byName.exitCode, 2u);
}

}  // namespace

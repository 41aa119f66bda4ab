#include "support/childProcess.h"

#include <map>

namespace {
std::map<std::string, ChildScenario>& scenarios() {
  static std::map<std::string, ChildScenario> all;
  return all;
}
}  // namespace

bool registerChildScenario(const char* name, ChildScenario scenario) {
  scenarios()[name] = std::move(scenario);
  return true;
}

int runChildScenario(const char* name) {
  auto found = scenarios().find(name);
  return found == scenarios().end() ? 200 : found->second();
}

ChildResult runChild(const char* name, DWORD timeoutMs, const std::function<void(DWORD)>& onWait) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --child " + name;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ChildResult result;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return result;
  DWORD waited = 0;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    waited += 50;
    if (waited >= timeoutMs) {
      TerminateProcess(process.hProcess, 999);
      WaitForSingleObject(process.hProcess, 5000);
      break;
    }
    if (onWait) onWait(process.dwProcessId);
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  result.finished = waited < timeoutMs;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

#include "win32/binder.h"

#include <string>

#include "toolkit/runtimeError.h"

namespace {

// Searched, in this order, for rows declared without a library name.
constexpr const char* kEmptyLibrarySearch[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                               "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

std::string programFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(path, length);
  size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// The file a library name stands for: as LoadLibraryA reads it, a name without an extension
// ("user32", "gdiplus") means the ".dll" file.
std::string libraryFile(const std::string& name) {
  size_t dot = name.find_last_of('.');
  size_t slash = name.find_last_of("\\/");
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return hasExtension ? name : name + ".dll";
}

HMODULE loadNamedLibrary(const char* library) {
  std::string name = library;
  if (name.find(':') != std::string::npos) return LoadLibraryA(library);
  // The program's own folder first, then the system's search order.
  std::string folder = programFolder();
  if (!folder.empty()) {
    std::string local = folder + libraryFile(name);
    if (GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (HMODULE module = LoadLibraryA(local.c_str())) return module;
    }
  }
  return LoadLibraryA(library);
}

[[noreturn]] void raiseMissing(const DeclaredRow& row) {
  std::string message;
  if (row.library[0] == '\0') {
    message = std::string("无法找到指定DLL库文件中的输出命令“") + row.exportName + "”";
  } else {
    message = std::string("无法找到指定DLL库文件“") + row.library + "”中的输出命令“" + row.exportName + "”";
  }
  raiseRuntimeError(kNoErrorNumber, message);
}

}  // namespace

void* bindDeclaredRow(DeclaredRow& row) {
  if (void* address = row.address.load(std::memory_order_acquire)) return address;

  HMODULE module = nullptr;
  FARPROC address = nullptr;
  if (row.library[0] == '\0') {
    for (const char* candidate : kEmptyLibrarySearch) {
      HMODULE loaded = LoadLibraryA(candidate);
      if (!loaded) continue;
      address = GetProcAddress(loaded, row.exportName);
      if (address) {
        module = loaded;
        break;
      }
      FreeLibrary(loaded);
    }
  } else {
    module = loadNamedLibrary(row.library);
    if (module) address = GetProcAddress(module, row.exportName);
  }

  if (!address) {
    if (module) FreeLibrary(module);
    raiseMissing(row);
  }
  // Libraries stay loaded until the process ends.
  row.module.store(module, std::memory_order_release);
  void* bound = reinterpret_cast<void*>(address);
  row.address.store(bound, std::memory_order_release);
  return bound;
}

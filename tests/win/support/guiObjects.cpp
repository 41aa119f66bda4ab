#include "support/guiObjects.h"

#include <winternl.h>

#include <cstdint>

namespace {
// The table's layout in Wine, for 32- and 64-bit programs alike (and on 64-bit Windows): 65,536
// entries of 24 bytes; the owner's process id (low 16 bits) at byte 8, the object type at byte 14
// (0 for a free entry). Only the table's place in the process block differs.
constexpr size_t kTableEntries = 0x10000;
constexpr size_t kEntrySize = 24;
#ifdef _WIN64
constexpr size_t kPebTableOffset = 0xF8;
#else
constexpr size_t kPebTableOffset = 0x94;
#endif

DWORD tableCount() {
  // mingw's NtCurrentTeb reads the thread block through a zero-length array, which -O2 flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  auto* peb = reinterpret_cast<const std::uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
  auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + kPebTableOffset);
  if (!table) return 0;
  const std::uint16_t self = static_cast<std::uint16_t>(GetCurrentProcessId());
  DWORD count = 0;
  for (size_t i = 0; i < kTableEntries; ++i) {
    const std::uint8_t* entry = table + i * kEntrySize;
    std::uint16_t owner = *reinterpret_cast<const std::uint16_t*>(entry + 8);
    // Wine leaves the owner 0; its table holds this process's objects only.
    if (entry[14] != 0 && (owner == self || owner == 0)) ++count;
  }
  return count;
}

BOOL CALLBACK countChild(HWND, LPARAM count) {
  ++*reinterpret_cast<DWORD*>(count);
  return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == GetCurrentProcessId()) {
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, countChild, count);
  }
  return TRUE;
}
}  // namespace

DWORD gdiHandleCount() {
  DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  return reported ? reported : tableCount();
}

DWORD userObjectCount() {
  DWORD reported = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  return reported ? reported : windowCount();
}

DWORD windowCount() {
  DWORD count = 0;
  EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&count));
  return count;
}

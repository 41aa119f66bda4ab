#include "toolkit/files.h"

#include <windows.h>

#include <algorithm>

namespace {
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool writeAll(HANDLE file, const ByteSet& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}
}  // namespace

bool writeFile(std::string_view fileName, std::initializer_list<const ByteSet*> parts) {
  if (fileName.empty()) return false;
  FileHandle file(CreateFileA(Text(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  for (const ByteSet* part : parts) {
    if (part && !part->empty() && !writeAll(file.get(), *part)) return false;
  }
  return true;
}

int messageBox(std::string_view text, unsigned style, std::string_view title) {
  if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
  return MessageBoxA(nullptr, Text(text).c_str(), Text(title).c_str(), style);
}

#include "toolkit/files.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {
// What a replaced file keeps: hidden and system, and the indexing choice. A rewritten file is one
// to back up again, so it is marked for archiving as a file written in place would be.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

// A new file beside the target, deleted when its scope ends unless it took the target's place.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& folder) {
    char name[MAX_PATH] = {};
    if (GetTempFileNameA(folder.c_str(), "ip", 0, name) != 0) name_ = name;
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() {
    if (!name_.empty()) DeleteFileA(name_.c_str());
  }
  bool created() const { return !name_.empty(); }
  const char* name() const { return name_.c_str(); }
  void keep() { name_.clear(); }

 private:
  std::string name_;
};

std::string folderOf(const std::string& fileName) {
  size_t slash = fileName.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : fileName.substr(0, slash + 1);
}

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

bool writeParts(const char* fileName, std::initializer_list<const ByteSet*> parts) {
  FileHandle file(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  for (const ByteSet* part : parts) {
    if (part && !part->empty() && !writeAll(file.get(), *part)) return false;
  }
  // On the disk before it takes the old file's place, so a crash leaves one whole file or the other.
  return FlushFileBuffers(file.get()) != 0;
}
}  // namespace

bool writeFile(std::string_view fileName, std::initializer_list<const ByteSet*> parts) {
  if (fileName.empty()) return false;
  const std::string name(fileName);
  const DWORD previous = GetFileAttributesA(name.c_str());
  const bool replacing = previous != INVALID_FILE_ATTRIBUTES;
  // Windows refuses to write a read-only file, and a folder is no file: both stay as they are,
  // whoever runs the program (Wine run as root would let a read-only file be replaced).
  if (replacing && (previous & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;

  // The bytes go to a new file beside the old one, which it replaces only once they are all
  // written: a full disk or any other failure leaves the old file (or none) as it was.
  ScratchFile scratch(folderOf(name));
  if (!scratch.created() || !writeParts(scratch.name(), parts)) return false;
  if (replacing) SetFileAttributesA(scratch.name(), (previous & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
  // Refused while another program holds the old file open without letting it be deleted.
  if (!MoveFileExA(scratch.name(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
  scratch.keep();
  return true;
}

int messageBox(std::string_view text, unsigned style, std::string_view title) {
  if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
  return MessageBoxA(nullptr, Text(text).c_str(), Text(title).c_str(), style);
}

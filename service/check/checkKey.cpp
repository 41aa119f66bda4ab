#include "service/check/checkKey.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string failure(const std::string& path, const char* what, int error) {
  return path + ": " + what + ": " + std::strerror(error);
}

// A whole file of a size within the key's bounds. `missing` is set when there is no file at all.
std::optional<CheckKey> readKey(const std::string& path, std::string& error, bool& missing) {
  missing = false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    missing = errno == ENOENT;
    error = failure(path, "cannot read the check key", errno);
    return std::nullopt;
  }
  CheckKey key;
  char buffer[512];
  ssize_t got = 0;
  while (key.bytes.size() <= kMaxCheckKeyBytes && (got = read(fd, buffer, sizeof buffer)) > 0) {
    key.bytes.append(buffer, static_cast<std::size_t>(got));
  }
  int readError = errno;
  close(fd);
  if (got < 0) {
    error = failure(path, "cannot read the check key", readError);
    return std::nullopt;
  }
  if (key.bytes.size() < kMinCheckKeyBytes || key.bytes.size() > kMaxCheckKeyBytes) {
    std::string size = key.bytes.size() > kMaxCheckKeyBytes ? "more than " + std::to_string(kMaxCheckKeyBytes)
                                                            : std::to_string(key.bytes.size());
    error = path + ": " + size + " bytes: a check key holds " + std::to_string(kMinCheckKeyBytes) + " to " +
            std::to_string(kMaxCheckKeyBytes);
    return std::nullopt;
  }
  return key;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// Writes a new key beside `path` under a name of its own and links it into place; link, unlike
// rename, never replaces a key another process put there first.
std::optional<CheckKey> createKey(const std::string& path, std::string& error, bool& lost) {
  lost = false;
  std::optional<CheckKey> key = freshCheckKey();
  if (!key) {
    error = path + ": no random bytes for a new check key";
    return std::nullopt;
  }
  static std::atomic<unsigned> made{0};
  std::string temporary = path + ".new." + std::to_string(getpid()) + "." + std::to_string(made++);
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = failure(path, "cannot create the check key", errno);
    return std::nullopt;
  }
  bool written = writeAll(fd, key->bytes) && fsync(fd) == 0;
  int writeError = errno;
  close(fd);
  int linked = written ? link(temporary.c_str(), path.c_str()) : -1;
  int linkError = errno;
  unlink(temporary.c_str());
  if (!written) {
    error = failure(path, "cannot write the check key", writeError);
    return std::nullopt;
  }
  if (linked != 0) {
    lost = linkError == EEXIST;
    error = failure(path, "cannot create the check key", linkError);
    return std::nullopt;
  }
  // The new name itself survives a crash only once its folder is on disk.
  std::string folder = std::filesystem::path(path).parent_path().string();
  int folderFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    fsync(folderFd);
    close(folderFd);
  }
  return key;
}

}  // namespace

std::optional<CheckKey> freshCheckKey() {
  CheckKey key;
  key.bytes.resize(kCheckKeyBytes);
  if (RAND_bytes(reinterpret_cast<unsigned char*>(key.bytes.data()), static_cast<int>(key.bytes.size())) != 1) {
    return std::nullopt;
  }
  return key;
}

std::optional<CheckKey> loadCheckKey(const std::string& path, std::string& error) {
  bool missing = false;
  if (std::optional<CheckKey> key = readKey(path, error, missing); key || !missing) return key;
  bool lost = false;
  if (std::optional<CheckKey> key = createKey(path, error, lost); key || !lost) return key;
  return readKey(path, error, missing);  // another process created it first: its key is the key
}

#include "service/sources/localFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

std::string notRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)                    ? "a folder"
                     : S_ISFIFO(mode)                 ? "a FIFO"
                     : S_ISSOCK(mode)                 ? "a socket"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                      : "not a file";
  return std::string("not a regular file (") + kind + ")";
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

LocalFile readLocalFile(const std::string& path, std::size_t maxBytes) {
  LocalFile result;
  struct stat named {};
  if (stat(path.c_str(), &named) != 0) {
    result.error = "cannot open";
    return result;
  }
  if (!S_ISREG(named.st_mode)) {
    result.error = notRegular(named.st_mode);
    return result;
  }
  // The path may have changed since: O_NONBLOCK keeps an open of a FIFO put there from waiting for
  // a writer, and the descriptor's own kind and identity are checked again.
  Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened {};
  if (file.get() < 0 || fstat(file.get(), &opened) != 0) {
    result.error = "cannot open";
    return result;
  }
  if (!S_ISREG(opened.st_mode)) {
    result.error = notRegular(opened.st_mode);
    return result;
  }
  if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    result.error = "replaced while opened";
    return result;
  }
  std::string tooLarge = "larger than " + std::to_string(maxBytes) + " bytes";
  if (static_cast<std::size_t>(opened.st_size) > maxBytes) {
    result.error = tooLarge;
    return result;
  }
  result.content.resize(static_cast<std::size_t>(opened.st_size));
  std::size_t filled = 0;
  // Read to the end, not to the size seen: the file may grow, never past the cap.
  for (;;) {
    if (filled == result.content.size()) result.content.resize(std::min(maxBytes + 1, filled * 2 + 4096));
    ssize_t got = read(file.get(), result.content.data() + filled, result.content.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.content.clear();
      result.error = "cannot read";
      return result;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
    if (filled > maxBytes) {
      result.content.clear();
      result.error = tooLarge;
      return result;
    }
  }
  result.content.resize(filled);
  result.ok = true;
  return result;
}

// The POSIX side of file_replace.h: mkstemp beside the target, rename(2) over it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/file_replace.h"

namespace corvalis {
namespace platform {

PathKind pathKind(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return PathKind::Missing;
  if (S_ISREG(st.st_mode)) return PathKind::Regular;
  if (S_ISDIR(st.st_mode)) return PathKind::Directory;
  return PathKind::Other;
}

std::FILE* createFileBeside(const std::string& path, std::string& tempPath,
                            std::string& reason) {
  size_t slash = path.find_last_of('/');
  std::string pattern =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
      ".corvalis-" + std::to_string(getpid()) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  // mkstemp creates the file for its owner alone; the finished file gets the usual
  // permissions of a new file.
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, 0666 & ~mask) != 0 && errno != EPERM) {
    reason = std::strerror(errno);
    close(fd);
    unlink(name.data());
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    reason = std::strerror(errno);
    close(fd);
    unlink(name.data());
    return nullptr;
  }
  tempPath = name.data();
  return file;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

void removeFile(const std::string& path) { unlink(path.c_str()); }

namespace {

// What a file that is not a regular one is, for a message.
const char* kindText(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

}  // namespace

std::FILE* openRegularFile(const std::string& path, std::string& reason) {
  // The kind is looked at before the open, so that a device is never opened, and again
  // on the open descriptor, in case the path changed in between. O_NONBLOCK keeps the
  // open of a FIFO from waiting for a writer.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    reason = std::string(kindText(st.st_mode)) + ", not a regular file";
    return nullptr;
  }
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = std::string(kindText(st.st_mode)) + ", not a regular file";
    close(fd);
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    reason = std::strerror(errno);
    close(fd);
  }
  return file;
}

}  // namespace platform
}  // namespace corvalis

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
      ".corvalis-XXXXXX";
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

}  // namespace platform
}  // namespace corvalis

// The Windows side of file_replace.h: GetTempFileNameA beside the target, MoveFileExA
// with MOVEFILE_REPLACE_EXISTING over it (rename() refuses an existing target there).

#include <io.h>

#include <cerrno>
#include <cstring>

#include "platform/file_replace.h"
#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

namespace {

std::string lastErrorText(DWORD code) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    text[--length] = '\0';
  if (length == 0) return "system error " + std::to_string(code);
  return text;
}

}  // namespace

PathKind pathKind(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  return PathKind::Regular;
}

std::FILE* createFileBeside(const std::string& path, std::string& tempPath,
                            std::string& reason) {
  size_t slash = path.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  char name[MAX_PATH + 1] = {};
  if (GetTempFileNameA(folder.c_str(), "cvl", 0, name) == 0) {
    reason = lastErrorText(GetLastError());
    return nullptr;
  }
  std::FILE* file = std::fopen(name, "wb");
  if (!file) {
    reason = std::strerror(errno);
    DeleteFileA(name);
    return nullptr;
  }
  tempPath = name;
  return file;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  reason = lastErrorText(GetLastError());
  return false;
}

void removeFile(const std::string& path) { DeleteFileA(path.c_str()); }

std::FILE* openRegularFile(const std::string& path, std::string& reason) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    reason = "a directory, not a regular file";
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    reason = std::strerror(errno);
    return nullptr;
  }
  // Device names (NUL, CON, COM1) and pipes open like files; only a disk file is one.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    reason = "a device or pipe, not a regular file";
    return nullptr;
  }
  return file;
}

}  // namespace platform
}  // namespace corvalis

#pragma once
// Files written whole or not at all: a new file beside the target, renamed over it once
// it is complete. The rename must replace an existing target on every system, which
// takes a different call on Windows than on POSIX systems. Files read back are opened
// only when they are regular files.

#include <cstdio>
#include <string>

namespace corvalis {
namespace platform {

// What is at a path now.
enum class PathKind { Missing, Regular, Directory, Other };
PathKind pathKind(const std::string& path);

// Creates a new, empty file in the folder of 'path' under a name of its own, open for
// binary writing. On success returns the stream and sets tempPath; on failure returns
// null and sets reason to the system's text.
std::FILE* createFileBeside(const std::string& path, std::string& tempPath,
                            std::string& reason);

// Renames 'from' to 'to', replacing a file that is there. False with the system's text
// in reason when it cannot be done; 'from' is then left where it was.
bool replaceFile(const std::string& from, const std::string& to, std::string& reason);

// Removes a file; failures are ignored (the caller only tidies up).
void removeFile(const std::string& path);

// Opens a file that the program reads back (a report, a data file) for binary reading,
// but only a regular file: a folder, a FIFO, a device or a socket is refused without
// waiting on it or reading from it, with reason saying what it is ("a FIFO (named
// pipe), not a regular file"); a file that cannot be opened gives the system's text.
std::FILE* openRegularFile(const std::string& path, std::string& reason);

}  // namespace platform
}  // namespace corvalis

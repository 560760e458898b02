#pragma once
// Runs the real corvalis binary in a fresh folder and reads back what it wrote.

#include <map>
#include <string>
#include <vector>

namespace corvalis_test {

struct RunResult {
  int exitStatus = -1;   // exit code, or 128 + signal
  std::string out;       // stdout
  std::string err;       // stderr
  std::string folder;    // where it ran; report files lie here
};

// A new empty folder under the system's temporary folder.
std::string makeTempFolder();

// Runs the binary with args inside 'folder' (a new temporary one when empty), with the
// extra environment variables set (value "" unsets one). DISPLAY is unset unless env
// names it, so runs are headless by default. Output is captured whole.
RunResult runCorvalis(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {},
                      const std::string& folder = "");

// Whole file as bytes; empty when missing (check fileExists for that).
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// The lines of a report file split at CR LF (a lone LF is kept inside its line, so
// that a wrong line end shows up as a mismatch).
std::vector<std::string> crlfLines(const std::string& bytes);

// Lines of a text report that begin with prefix ("Fillrate:").
std::vector<std::string> linesWithPrefix(const std::vector<std::string>& lines,
                                         const std::string& prefix);

}  // namespace corvalis_test

#pragma once
// Helpers for every test that writes or reads files, unit and integration alike:
// temporary folders, files written and read back as raw bytes, report lines split at
// CR LF, and the fixed head of every HTML page.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ftw.h>
#include <unistd.h>

namespace corvalis::testing {

// A new empty folder under the system's temporary directory (TMPDIR, else /tmp); empty
// when none could be made. The caller owns it.
inline std::string makeTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvalis-test-XXXXXX";
  return mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
}

// A fresh folder under the system's temporary directory, removed with its content.
class TempDir {
 public:
  TempDir() : path_(makeTempFolder()) {}
  ~TempDir() {
    if (!path_.empty()) {
      nftw(path_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  static int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
  }
  std::string path_;
};

// A test that runs inside a fresh temporary folder, so that relative names land there.
class InTempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(chdir(oldCwd_.c_str()), 0); }

  TempDir dir_;
  std::string oldCwd_;
};

inline bool fileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The file's bytes, unconverted; empty when it cannot be read.
inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

// Every HTML report page starts with these bytes and ends with "</body>\r\n</html>\r\n".
inline const char* htmlPageHead() {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"   "
         "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n"
         "<HTML>\r\n<HEAD>\r\n<meta name=\"generator\" Content=\"Corvalis 0.50\">\r\n"
         "<meta http-equiv=\"content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
         "<title>*cough*</title>\r\n</head>\r\n"
         "<BODY bgcolor=\"#2020A0\" text=\"#FFFFFF\" link=\"#FFC040\" vlink=\"#FF8000\" "
         "alink=\"FF80C0\">\r\n";
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// How often part occurs in text, overlapping occurrences included.
inline size_t occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The expected bytes of a report file written with "\n" line ends in the test source.
inline std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The lines of a report file split at CR LF (a lone LF is kept inside its line, so
// that a wrong line end shows up as a mismatch).
inline std::vector<std::string> crlfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < bytes.size(); start = end + 2) {
    end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

// The lines that begin with prefix ("Fillrate:").
inline std::vector<std::string> linesWithPrefix(const std::vector<std::string>& lines,
                                                const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  return found;
}

// True when every line feed in the bytes is preceded by a carriage return.
inline bool allLineEndsCrLf(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace corvalis::testing

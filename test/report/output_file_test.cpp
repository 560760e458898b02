#include "report/output_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/format.h"
#include "framework/stop_request.h"
#include "report/bb_code_writer.h"
#include "report/html_writer.h"
#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::readBytes;

TEST(OutputFile, WritesEveryLineFeedAsCrLfAndNumbersInTheCLocale) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("out.csv");
  OutputFile file;
  ASSERT_TRUE(file.open(path));
  file.write("a\nb\n\nc");
  file.write(std::string("\xB5\n"));
  file.print("%d,%.3f,%s\n", 16, 1.5, "x");
  file.write(nullptr);
  // Text goes by its length: a NUL inside neither ends it nor is lost.
  file.write(std::string("n\0u\nl", 5));
  ASSERT_TRUE(file.close());
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(readBytes(path), std::string("a\r\nb\r\n\r\nc\xB5\r\n16,1.500,x\r\nn\0u\r\nl", 30));
  // Opening again replaces the longer content.
  ASSERT_TRUE(file.open(path));
  file.write("new");
  ASSERT_TRUE(file.close());
  EXPECT_EQ(readBytes(path), "new");
}

// Nothing but complete files at their names: a failed or stopped file leaves the one
// before it byte for byte, and no temporary stays in the folder. A file that cannot be
// created stays closed and ignores writes.
TEST(OutputFile, OnlyACompleteFileReplacesThePreviousOne) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir.file("r.txt");
  {
    OutputFile file;
    ASSERT_TRUE(file.open(path));
    file.write("old\n");
    ASSERT_TRUE(file.close());
  }
  {
    OutputFile file;  // dropped before close: as if the program ended mid-write
    ASSERT_TRUE(file.open(path));
    file.write("new\n");
  }
  {
    OutputFile file;  // finished but stopped before the rename
    ASSERT_TRUE(file.open(path));
    file.write("new\n");
    ASSERT_TRUE(file.finish());
    requestStop(SIGINT);
    EXPECT_FALSE(file.commit());
    clearStopRequest();
    EXPECT_NE(file.error().find("interrupted"), std::string::npos) << file.error();
  }
  EXPECT_EQ(readBytes(path), "old\r\n");
  ASSERT_EQ(mkdir(dir.file("d.csv").c_str(), 0700), 0);
  OutputFile inTheWay;
  EXPECT_FALSE(inTheWay.open(dir.file("d.csv")));
  EXPECT_EQ(inTheWay.error(), "could not create " + dir.file("d.csv") + ": Is a directory");
  EXPECT_FALSE(inTheWay.isOpen());
  inTheWay.write("lost\n");
  inTheWay.print("%d\n", 1);
  EXPECT_FALSE(inTheWay.failed());
  EXPECT_TRUE(inTheWay.close());
  DIR* folder = opendir(dir.path().c_str());
  ASSERT_NE(folder, nullptr);
  std::vector<std::string> names;
  while (dirent* entry = readdir(folder)) names.push_back(entry->d_name);
  closedir(folder);
  EXPECT_EQ(names.size(), 4u) << "., .., r.txt, d.csv and nothing else";
}

TEST(OutsideText, ControlCharactersBecomeOneBlankEach) {
  // C0 with NUL, DEL and C1: 65 controls, 65 blanks.
  std::string every(1, '\0');
  for (int c = 1; c < 0x20; ++c) every += static_cast<char>(c);
  for (int c = 0x7F; c <= 0x9F; ++c) every += static_cast<char>(c);
  EXPECT_EQ(cleanOutsideText(every), std::string(65, ' '));
  // Every other byte stays, the micro sign and the Latin-1 letters around C1 included.
  std::string kept;
  for (int c = 0x20; c < 0x7F; ++c) kept += static_cast<char>(c);
  for (int c = 0xA0; c <= 0xFF; ++c) kept += static_cast<char>(c);
  EXPECT_EQ(cleanOutsideText(kept), kept);
  EXPECT_EQ(cleanOutsideText("[*]x \x85 \x9B" "31m"), "[*]x    31m");
  EXPECT_EQ(escapeHtml("a\"b'<c>&amp;\xB5"), "a&quot;b'&lt;c&gt;&amp;amp;\xB5");
  const std::pair<const char*, const char*> bb[] = {
      {"[/CODE]", "(/CODE]"},   {"[url=http://x]y[/url]", "(url=http://x]y(/url]"},
      {"[b]x[/B]", "(b]x(/B]"}, {"[h1]", "(h1]"},
      {"[1] a[0] [ x ] [", "[1] a[0] [ x ] ["}, {"[/ code]", "[/ code]"},
      {"x[url", "x[url"},
      {"[*]x [/*]", "(*]x (/*]"},   {"[**] [*", "[**] [*"},
  };
  for (const auto& [in, out] : bb) EXPECT_EQ(breakBBCodeTags(in), out) << in;
}

TEST(OutsideText, TerminalTextShowsControlsAndForeignBytesEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"/tmp/r\n  /etc/forged", "/tmp/r\\n  /etc/forged"},
      {"a\rb\tc\x1B]0;title\x07", "a\\rb\\tc\\x1B]0;title\\x07"},
      {std::string("n\0l", 3), "n\\x00l"},
      {"del\x7F", "del\\x7F"},
      // UTF-8 stays, its C1 controls (U+0085, U+009B) do not.
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xC2\x85\xC2\x9B" "31m", "\\xC2\\x85\\xC2\\x9B" "31m"},
      // Bytes that are not UTF-8: a lone C1 byte, Latin-1, a cut sequence, an overlong form.
      {"\x9B" "1m \xE9t\xE9 \xE2\x82 \xC0\xAF", "\\x9B" "1m \\xE9t\\xE9 \\xE2\\x82 \\xC0\\xAF"},
      {"plain/path with blanks\\x", "plain/path with blanks\\x"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(escapeControls(in), out) << out;
}

}  // namespace
}  // namespace corvalis

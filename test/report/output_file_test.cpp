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
  ASSERT_TRUE(file.close());
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(readBytes(path), "a\r\nb\r\n\r\nc\xB5\r\n16,1.500,x\r\n");
  // Opening again replaces the longer content.
  ASSERT_TRUE(file.open(path));
  file.write("new");
  ASSERT_TRUE(file.close());
  EXPECT_EQ(readBytes(path), "new");
}

TEST(OutputFile, FileThatCannotBeCreatedIsClosedAndIgnoresWrites) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  OutputFile file;
  EXPECT_FALSE(file.open(dir.file("missing/out.txt")));
  EXPECT_FALSE(file.isOpen());
  file.write("lost\n");
  file.print("%d\n", 1);
  EXPECT_FALSE(file.failed());
  EXPECT_TRUE(file.close());
}

// Nothing but complete files at their names: a failed or stopped file leaves the one
// before it byte for byte, and no temporary stays in the folder.
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
  DIR* folder = opendir(dir.path().c_str());
  ASSERT_NE(folder, nullptr);
  std::vector<std::string> names;
  while (dirent* entry = readdir(folder)) names.push_back(entry->d_name);
  closedir(folder);
  EXPECT_EQ(names.size(), 4u) << "., .., r.txt, d.csv and nothing else";
}

TEST(OutsideText, ControlCharactersBecomeOneBlankEach) {
  std::string every;
  for (int c = 1; c < 0x20; ++c) every += static_cast<char>(c);
  EXPECT_EQ(cleanOutsideText(every + "\x7F"), std::string(32, ' '));
  EXPECT_EQ(cleanOutsideText("Gr\xFC\xDF \xB5 ~ [b] <&>"), "Gr\xFC\xDF \xB5 ~ [b] <&>");
  EXPECT_EQ(escapeHtml("a\"b'<c>&amp;\xB5"), "a&quot;b'&lt;c&gt;&amp;amp;\xB5");
  const std::pair<const char*, const char*> bb[] = {
      {"[/CODE]", "(/CODE]"},   {"[url=http://x]y[/url]", "(url=http://x]y(/url]"},
      {"[b]x[/B]", "(b]x(/B]"}, {"[h1]", "(h1]"},
      {"[1] a[0] [ x ] [", "[1] a[0] [ x ] ["}, {"[/ code]", "[/ code]"},
      {"x[url", "x[url"},
  };
  for (const auto& [in, out] : bb) EXPECT_EQ(breakBBCodeTags(in), out) << in;
}

}  // namespace
}  // namespace corvalis

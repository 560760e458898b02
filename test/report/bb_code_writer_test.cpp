#include "report/bb_code_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_files.h"
#include "report/result_report.h"

namespace corvalis {
namespace {

using testing::crlf;
using testing::readBytes;

class BBCodeWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string path() const { return dir_.file("report.bb.txt"); }
  std::string finished(BBCodeWriter& writer) {
    EXPECT_TRUE(writer.finish());
    return readBytes(path());
  }
  testing::TempDir dir_;
};

TEST_F(BBCodeWriterTest, AllOptionsFrameTheFileAndLinkTheHeading) {
  BBCodeWriter writer(path().c_str(), BBBold | BBCodeBlock | BBUrl);
  writer.openGroup("Corvalis 0.50", "http://example.org/");
  writer.writeItem("Method", "Swap");
  writer.closeAllGroups();
  writer.openGroup("Tiling", nullptr);  // no URL: a bold heading only
  writer.openGroup("preferred block alignment", nullptr);
  writer.openGroup("in color buffer", nullptr);
  writer.writeItem("Width", "16");
  EXPECT_EQ(writer.groupDepth(), 3);
  EXPECT_EQ(finished(writer),
            crlf("[CODE][b][url=http://example.org/]Corvalis 0.50[/url][/b]\n"
                 "Method              Swap\n"
                 "\n"
                 "[b]Tiling[/b]\n"
                 "--[b]preferred block alignment[/b]---------------------\n"
                 "----[b]in color buffer[/b]-----------------------------\n"
                 "    Width           16\n") +
                "[/CODE]");
}

TEST_F(BBCodeWriterTest, PlainOptionsWriteBareTitlesStill48Wide) {
  BBCodeWriter writer(path().c_str(), 0);
  writer.openGroup("Corvalis 0.50", "http://example.org/");  // BBUrl off: no link
  writer.openGroup("32 bits", nullptr);
  writer.openGroup(nullptr, nullptr);  // ignored
  writer.closeGroup();
  writer.closeGroup();
  writer.closeGroup();  // depth 0: nothing
  std::string bytes = finished(writer);
  EXPECT_EQ(bytes, crlf("Corvalis 0.50\n--32 bits---------------------------------------\n\n\n"));
  EXPECT_EQ(std::string("--32 bits---------------------------------------").size(), 48u);
}

TEST_F(BBCodeWriterTest, UrlWithoutBoldAndBoldWithoutUrl) {
  BBCodeWriter writer(path().c_str(), BBUrl);
  writer.openGroup("Corvalis 0.50", "u");
  writer.closeAllGroups();
  writer.openGroup("Fillrate", nullptr);  // test headings come without a URL
  EXPECT_EQ(finished(writer), crlf("[url=u]Corvalis 0.50[/url]\n\nFillrate\n"));
}

TEST_F(BBCodeWriterTest, ValueColumnAndOverlongLabels) {
  BBCodeWriter writer(path().c_str(), BBBold);
  writer.writeItem("Top", "0");  // depth 0: 22 - 3 blanks
  writer.openGroup("S", nullptr);
  writer.writeItem("12345678901234567890", "a");
  writer.writeItem("123456789012345678901", "b");
  writer.writeItem("1234567890123456789012", "c");
  writer.writeItem(nullptr, "dropped");
  writer.openGroup("a title that is far too long for the forty-eight columns", nullptr);
  writer.writeItem("x", "d");
  EXPECT_EQ(finished(writer),
            crlf("Top                   0\n"
                 "[b]S[/b]\n"
                 "12345678901234567890a\n"
                 "123456789012345678901b\n"
                 "1234567890123456789012c\n"
                 "--[b]a title that is far too long for the forty-eight columns[/b]\n"
                 "  x                 d\n"));
}

TEST_F(BBCodeWriterTest, CloseAllGroupsWritesOneLineFeedPerLevel) {
  BBCodeWriter writer(path().c_str(), 0);
  writer.closeAllGroups();
  writer.openGroup("A", nullptr);
  writer.openGroup("B", nullptr);
  writer.openGroup("C", nullptr);
  writer.closeAllGroups();
  EXPECT_EQ(writer.groupDepth(), 0);
  EXPECT_EQ(finished(writer),
            crlf("A\n--B---------------------------------------------\n"
                 "----C-------------------------------------------\n\n\n\n"));
}

}  // namespace
}  // namespace corvalis

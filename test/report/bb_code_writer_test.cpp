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
  std::string path(const char* name = "report.bb.txt") const { return dir_.file(name); }
  std::string finished(BBCodeWriter& writer, const char* name = "report.bb.txt") {
    EXPECT_TRUE(writer.finish());
    return readBytes(path(name));
  }
  testing::TempDir dir_;
};

// Without options the titles are bare but still padded to 48 columns; closing writes one
// line feed per open level. [url] goes without [b], and a heading without a URL bare.
TEST_F(BBCodeWriterTest, OptionsAndClosingLevels) {
  BBCodeWriter writer(path().c_str(), 0);
  writer.closeAllGroups();  // nothing open: nothing written
  writer.openGroup("Corvalis 0.50", "http://example.org/");  // BBUrl off: no link
  writer.openGroup("32 bits", nullptr);
  writer.openGroup(nullptr, nullptr);  // ignored
  writer.openGroup("C", nullptr);
  writer.closeGroup();
  writer.closeAllGroups();
  writer.closeGroup();  // depth 0: nothing
  EXPECT_EQ(finished(writer), crlf("Corvalis 0.50\n--32 bits---------------------------------------\n"
                                   "----C-------------------------------------------\n\n\n\n"));
  BBCodeWriter url(path("url.bb.txt").c_str(), BBUrl);
  url.openGroup("Corvalis 0.50", "u");
  url.closeAllGroups();
  url.openGroup("Fillrate", nullptr);
  EXPECT_EQ(finished(url, "url.bb.txt"), crlf("[url=u]Corvalis 0.50[/url]\n\nFillrate\n"));
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

}  // namespace
}  // namespace corvalis

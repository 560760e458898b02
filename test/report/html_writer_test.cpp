#include "report/html_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::crlf;

class HtmlWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string path() const { return dir_.file("page.htm"); }
  // The whole page: the fixed head, the given body, the trailer.
  std::string page(const std::string& body) {
    return testing::htmlPageHead() + crlf(body) + "</body>\r\n</html>\r\n";
  }
  std::string finished(HtmlWriter& writer) {
    EXPECT_TRUE(writer.finish());
    return testing::readBytes(path());
  }
  testing::TempDir dir_;
};

TEST_F(HtmlWriterTest, LinesAreWrittenUnescapedAndAHeadingCanBeALink) {
  HtmlWriter writer(path().c_str());
  writer.writeHeading("Info", nullptr);
  writer.writeLine("Comment: a <b>bold</b> & plain text");
  writer.writeHeading("Corvalis 0.50", "http://example.org/?a=1&b=2");
  EXPECT_EQ(finished(writer),
            page("<b>Info</b><br>\nComment: a <b>bold</b> & plain text<br>\n"
                 "<b><a href=\"http://example.org/?a=1&b=2\">Corvalis 0.50</a></b><br>\n"));
}

TEST_F(HtmlWriterTest, ListsOpenWithAndWithoutTitlesAndAHeadingClosesThemAll) {
  HtmlWriter writer(path().c_str());
  writer.closeList();  // nothing open: nothing written
  writer.openList(nullptr);
  writer.openList("inner");
  writer.closeList();
  writer.closeList();
  writer.closeList();
  writer.openList("outer");
  writer.writeHeading("Next", nullptr);
  EXPECT_EQ(finished(writer), page("<ul><li>inner<ul></ul></li>\n</ul>\n"
                                   "<ul><li>outer<ul></ul></li>\n</ul>\n<b>Next</b><br>\n"));
}

TEST_F(HtmlWriterTest, ValueAtTopLevelOpensAListThatLaterLinesJoinAndFinishCloses) {
  HtmlWriter writer(path().c_str());
  writer.writeHeading("Readback", nullptr);
  writer.writeListItem("1.500 GPix/s");
  writer.writeLine("Mode: R8G8B8A8 Z24 S8");
  EXPECT_EQ(finished(writer), page("<b>Readback</b><br>\n<ul><li>1.500 GPix/s</li>\n"
                                   "<li>Mode: R8G8B8A8 Z24 S8</li>\n</ul>\n"));
}

}  // namespace
}  // namespace corvalis

#include "report/html_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::crlf;
using testing::readBytes;

const char* const kPageHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"   "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n"
    "<HTML>\r\n<HEAD>\r\n<meta name=\"generator\" Content=\"Corvalis 0.50\">\r\n"
    "<meta http-equiv=\"content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
    "<title>*cough*</title>\r\n</head>\r\n"
    "<BODY bgcolor=\"#2020A0\" text=\"#FFFFFF\" link=\"#FFC040\" vlink=\"#FF8000\" "
    "alink=\"FF80C0\">\r\n";

class HtmlWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string path() const { return dir_.file("page.htm"); }
  // The page's bytes between the head and the trailer.
  std::string body(HtmlWriter& writer) {
    EXPECT_TRUE(writer.finish());
    std::string bytes = readBytes(path());
    const std::string head = kPageHead;
    const std::string tail = "</body>\r\n</html>\r\n";
    EXPECT_EQ(bytes.compare(0, head.size(), head), 0) << bytes;
    EXPECT_GE(bytes.size(), head.size() + tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
    return bytes.substr(head.size(), bytes.size() - head.size() - tail.size());
  }

  testing::TempDir dir_;
};

TEST_F(HtmlWriterTest, EmptyPageIsHeadAndTrailerInCrLf) {
  HtmlWriter writer(path().c_str());
  ASSERT_TRUE(writer.isOpen());
  ASSERT_TRUE(writer.finish());
  EXPECT_EQ(readBytes(path()), std::string(kPageHead) + "</body>\r\n</html>\r\n");
}

TEST_F(HtmlWriterTest, PlainItemsMakeNoListMarkup) {
  HtmlWriter writer(path().c_str());
  writer.writeHeading("Info", nullptr);
  writer.writeLine("Comment: a <b>bold</b> & plain text");
  writer.writeLine("Swapping buffers");
  EXPECT_EQ(body(writer),
            crlf("<b>Info</b><br>\nComment: a <b>bold</b> & plain text<br>\n"
                 "Swapping buffers<br>\n"));
}

TEST_F(HtmlWriterTest, HeadingClosesEveryOpenListAndCanBeALink) {
  HtmlWriter writer(path().c_str());
  writer.openList("outer");
  EXPECT_EQ(writer.listDepth(), 2);
  writer.writeHeading("Corvalis 0.50", "http://example.org/?a=1&b=2");
  EXPECT_EQ(writer.listDepth(), 0);
  EXPECT_EQ(body(writer),
            crlf("<ul><li>outer<ul></ul></li>\n</ul>\n"
                 "<b><a href=\"http://example.org/?a=1&b=2\">Corvalis 0.50</a></b><br>\n"));
}

TEST_F(HtmlWriterTest, ListsOpenWithAndWithoutTitlesAndCloseOneAtATime) {
  HtmlWriter writer(path().c_str());
  writer.closeList();  // nothing open: nothing written
  writer.openList(nullptr);
  EXPECT_EQ(writer.listDepth(), 1);
  writer.openList("inner");
  EXPECT_EQ(writer.listDepth(), 2);
  writer.closeList();
  writer.closeList();
  writer.closeList();
  EXPECT_EQ(writer.listDepth(), 0);
  EXPECT_EQ(body(writer), crlf("<ul><li>inner<ul></ul></li>\n</ul>\n"));
}

TEST_F(HtmlWriterTest, ValueAtTopLevelOpensAListThatLaterLinesJoin) {
  HtmlWriter writer(path().c_str());
  writer.writeHeading("Readback", nullptr);
  writer.writeListItem("1.500 GPix/s");
  EXPECT_EQ(writer.listDepth(), 1);
  writer.writeLine("Mode: R8G8B8A8 Z24 S8");
  // finish closes the list that is still open.
  EXPECT_EQ(body(writer), crlf("<b>Readback</b><br>\n<ul><li>1.500 GPix/s</li>\n"
                               "<li>Mode: R8G8B8A8 Z24 S8</li>\n</ul>\n"));
}

TEST(HtmlWriterMissingFolder, IsClosedAndIgnoresEveryCall) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("no/such/folder/page.htm");
  HtmlWriter writer(path.c_str());
  EXPECT_FALSE(writer.isOpen());
  EXPECT_EQ(writer.path(), path);
  writer.openList("x");
  writer.writeListItem("y");
  EXPECT_EQ(writer.listDepth(), 0);
  EXPECT_TRUE(writer.finish());
  EXPECT_FALSE(testing::fileExists(path));
}

}  // namespace
}  // namespace corvalis

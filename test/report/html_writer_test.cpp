#include "report/html_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_files.h"

namespace corvalis {
namespace {

// Headings, lines and escaping as the report uses them are ResultReport's tests; here the
// lists: with and without titles, closed by a heading, opened by a value at top level
// (later lines join it) and closed by finish.
TEST(HtmlWriter, ListsOpenCloseAndCollectTopLevelValues) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  HtmlWriter writer(dir.file("page.htm").c_str());
  writer.closeList();  // nothing open: nothing written
  writer.openList(nullptr);
  writer.openList("inner");
  writer.closeList();
  writer.closeList();
  writer.closeList();
  writer.openList("outer");
  writer.writeHeading("Readback", nullptr);
  writer.writeListItem("1.500 GPix/s");
  writer.writeLine("Mode: R8G8B8A8 Z24 S8");
  ASSERT_TRUE(writer.finish());
  EXPECT_EQ(testing::readBytes(dir.file("page.htm")),
            testing::htmlPageHead() +
                testing::crlf("<ul><li>inner<ul></ul></li>\n</ul>\n"
                              "<ul><li>outer<ul></ul></li>\n</ul>\n<b>Readback</b><br>\n"
                              "<ul><li>1.500 GPix/s</li>\n<li>Mode: R8G8B8A8 Z24 S8</li>\n</ul>\n"
                              "</body>\n</html>\n"));
}

}  // namespace
}  // namespace corvalis

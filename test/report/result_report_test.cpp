// The report document as a whole: how each call reaches every writer and what each
// makes of it, which files exist, close() and the spreads. The writers' own layout
// primitives are their tests'.

#include "report/result_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::crlf;
using testing::fileExists;
using testing::readBytes;

const std::string kPageHead = testing::htmlPageHead();
const char* const kPageEnd = "</body>\r\n</html>\r\n";
const unsigned kAllBB = BBBold | BBCodeBlock | BBUrl;

// In a fresh temporary folder the base name "results" links its data files exactly as a
// report beside them does.
using ResultReportTest = testing::InTempFolder;

// The short Tiling call sequence, as the Tiling test writes it.
void writeTilingExample(ResultReport& report) {
  report.beginTestSection("Tiling", "Tiling", false);
  report.addItem("R8G8B8A8 Z24 S8", nullptr, "Mode");
  report.beginGroup("preferred block alignment", nullptr);
  report.beginGroupWithLink("in color buffer", "Color", "CSV", ".tile_c.csv");
  report.addValue(16, nullptr, " pixels wide", "Width");
  report.addItem("none", " detected in y-direction", "Height");
  report.endGroup();
  report.endGroup();
}

// A whole small report: information section, two skipped tests, the Tiling section with
// nested groups and a linked group, a group with values and a data-file link, read back
// from disk.
TEST_F(ResultReportTest, WholeReportReadBackFromDisk) {
  {
    ResultReport report("results", kAllBB, 15);
    ASSERT_TRUE(report.isOpen());
    report.beginInfoSection(ProgramVersion, "Info", "http://corvalis.example/");
    report.addItem("llvmpipe v4.5", nullptr, "Driver");
    report.addItem("Swap", "ping buffers", "Method");
    report.beginTestSection("Fillrate", "Fillrate", true);
    report.addItem(nullptr, "test skipped", nullptr);
    report.beginTestSection("Bandwidth", "Bandwidth", true);
    report.addItem(nullptr, "test skipped", nullptr);
    writeTilingExample(report);
    report.beginTestSection("Texture cache", "TexCache", false);
    report.beginGroup("32 bits", "32");
    report.addBinaryValue(16384, "B", " using RGBA textures", "RGBA", "CSV", ".rgba.csv");
    report.addValue(1.5e9, "Pix/s", nullptr, "Color");
    report.endGroup();
    ASSERT_TRUE(report.close());
    EXPECT_TRUE(report.failedFiles().empty());
  }
  EXPECT_EQ(readBytes("results.htm"), kPageHead +
                      "<b><a href=\"http://corvalis.example/\">Corvalis 0.50</a></b><br>\r\n"
                      "Driver: llvmpipe v4.5<br>\r\n"
                      "Swapping buffers<br>\r\n"
                      "<b>Fillrate</b><br>\r\n"
                      "test skipped<br>\r\n"
                      "<b>Bandwidth</b><br>\r\n"
                      "test skipped<br>\r\n"
                      "<b>Tiling</b><br>\r\n"
                      "Mode: R8G8B8A8 Z24 S8<br>\r\n"
                      "<ul><li>preferred block alignment<ul><li>in color buffer "
                      "(<a href=\"results.tile_c.csv\">CSV</a>)<ul><li>16 pixels wide</li>\r\n"
                      "<li>none detected in y-direction</li>\r\n"
                      "</ul></li>\r\n"
                      "</ul></li>\r\n"
                      "</ul>\r\n"
                      "<b>Texture cache</b><br>\r\n"
                      "<ul><li>32 bits<ul><li>16 kiB using RGBA textures"
                      "(<a href=\"results.rgba.csv\">CSV</a>)</li>\r\n"
                      "<li>1.500 GPix/s</li>\r\n"
                      "</ul></li>\r\n"
                      "</ul>\r\n" +
                      kPageEnd);
  EXPECT_EQ(readBytes("results.txt"),
            "[Corvalis 0.50]\r\n"
            "Info:Driver=llvmpipe v4.5\r\n"
            "Info:Method=Swap\r\n"
            "Tiling:Mode=R8G8B8A8 Z24 S8\r\n"
            "Tiling:Color:Width=16 \r\n"
            "Tiling:Color:Height=none\r\n"
            "TexCache:32:RGBA=16384 B\r\n"
            "TexCache:32:Color=1500.000 M Pix/s\r\n");
  // Skipped tests leave no trace here; each closed group leaves an empty line, and one
  // more separates sections.
  EXPECT_EQ(readBytes("results.bb.txt"),
            "[CODE][b][url=http://corvalis.example/]Corvalis 0.50[/url][/b]\r\n"
            "Driver              llvmpipe v4.5\r\n"
            "Method              Swap\r\n"
            "\r\n"
            "[b]Tiling[/b]\r\n"
            "Mode                R8G8B8A8 Z24 S8\r\n"
            "--[b]preferred block alignment[/b]---------------------\r\n"
            "----[b]in color buffer[/b]-----------------------------\r\n"
            "    Width           16\r\n"
            "    Height          none\r\n"
            "\r\n"
            "\r\n"
            "\r\n"
            "[b]Texture cache[/b]\r\n"
            "--[b]32 bits[/b]---------------------------------------\r\n"
            "  RGBA              16 kiB\r\n"
            "  Color             1.500 GPix/s\r\n"
            "\r\n"
            "[/CODE]");
}

// Long system texts are kept whole; items without a value or a label reach only the page.
TEST_F(ResultReportTest, LongTextsStayWholeAndBareItemsReachOnlyThePage) {
  const std::string comment(126, 'c');
  const std::string driver = "Mesa/X.org llvmpipe (LLVM 15.0.6, 256 bits) v4.5 (Compatibility "
                             "Profile) Mesa 22.3.6 " + std::string(200, 'd');
  ResultReport report("results", 0, OutputHtml | OutputText | OutputBBCode | OutputDataFiles);
  report.beginInfoSection(ProgramVersion, "Info", nullptr);
  report.addItem(comment.c_str(), nullptr, "Comment");
  report.addItem(driver.c_str(), nullptr, "Driver");
  report.beginTestSection("Geometry", "Geometry", false);
  report.addItem(nullptr, "test skipped", nullptr);
  report.addItem("bare value", nullptr, nullptr);
  report.addItem(nullptr, nullptr, "Label only");
  report.addItem("v", nullptr, "Kept");
  ASSERT_TRUE(report.close());
  EXPECT_EQ(readBytes("results.htm"),
            kPageHead + "<b>Corvalis 0.50</b><br>\r\nComment: " + comment + "<br>\r\nDriver: " +
                driver + crlf("<br>\n<b>Geometry</b><br>\ntest skipped<br>\nbare value<br>\n"
                              "Label only: <br>\nKept: v<br>\n") +
                kPageEnd);
  EXPECT_EQ(readBytes("results.txt"), crlf("[Corvalis 0.50]\nInfo:Comment=" + comment +
                                           "\nInfo:Driver=" + driver + "\nGeometry:Kept=v\n"));
  EXPECT_EQ(readBytes("results.bb.txt"), crlf("Corvalis 0.50\nComment             " + comment +
                                              "\nDriver              " + driver +
                                              "\n\nGeometry\nKept                v\n"));
}

TEST_F(ResultReportTest, GroupWithoutKeyMakesTheLastEndGroupDropTheSectionKey) {
  ResultReport report("results", 0, OutputText);
  writeTilingExample(report);
  report.addItem("x", nullptr, "After");  // the section's own level is gone
  report.beginTestSection("Next", "Next", false);
  report.addItem("1", nullptr, "V");
  ASSERT_TRUE(report.close());
  EXPECT_EQ(readBytes("results.txt"),
            crlf("[Corvalis 0.50]\nTiling:Mode=R8G8B8A8 Z24 S8\nTiling:Color:Width=16 \n"
                 "Tiling:Color:Height=none\nAfter=x\nNext:V=1\n"));
}

// The page is opened first; when it cannot be created no other file is, and close
// names the page.
TEST_F(ResultReportTest, PageThatCannotBeCreatedLeavesNoOtherFile) {
  ASSERT_EQ(mkdir("results.htm", 0755), 0);  // a folder where the page should go
  ResultReport report("results", kAllBB, 15);
  EXPECT_FALSE(report.isOpen());
  report.beginTestSection("Tiling", "Tiling", false);
  report.addValue(1, nullptr, nullptr, "x");
  EXPECT_FALSE(report.close());
  EXPECT_EQ(report.failedFiles(), std::vector<std::string>{"results.htm"});
  EXPECT_FALSE(report.close());  // a second close changes nothing
  EXPECT_EQ(report.failedFiles().size(), 1u);
  EXPECT_FALSE(fileExists("results.txt"));
  EXPECT_FALSE(fileExists("results.bb.txt"));
}

// A file that fills its device or cannot be created (BASE.json as a folder) is lost on
// its own: the others are written.
TEST_F(ResultReportTest, WriteFailureIsReportedForThatFileOnly) {
  if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(symlink("/dev/full", "results.txt"), 0);
  ASSERT_EQ(mkdir("results.json", 0755), 0);
  ResultReport report("results", 0, OutputHtml | OutputText | OutputJson);
  ASSERT_TRUE(report.isOpen());
  writeTilingExample(report);
  EXPECT_FALSE(report.close());
  EXPECT_EQ(report.failedFiles(), (std::vector<std::string>{"results.json", "results.txt"}));
  EXPECT_NE(readBytes("results.htm").find("16 pixels wide"), std::string::npos);
}

TEST(ResultReportLinkBase, IsTheFileNameAfterEitherSeparator) {
  EXPECT_STREQ(ResultReport(".\\out\\run1", 0, 0).linkBase(), "run1");
  EXPECT_STREQ(ResultReport("out/run1", 0, 0).linkBase(), "run1");
  EXPECT_STREQ(ResultReport("/tmp/x/results", 0, 0).linkBase(), "results");
  EXPECT_STREQ(ResultReport("C:\\data/run\\r2", 0, 0).linkBase(), "r2");
  EXPECT_STREQ(ResultReport("C:\\data\\", 0, 0).linkBase(), "");
}

// Texts from outside (driver strings, the comment, the base name) cannot add a line, a
// key, a tag or an attribute to any report; the report's own markup stays as it is.
TEST_F(ResultReportTest, OutsideTextsCannotForgeAReport) {
  std::string hostile = "a\r\nInfo:Forged=1\t\x7F<b>&\"[/CODE][url=x]";
  for (char c = 1; c < 0x20; ++c) hostile += c;
  {
    ResultReport report("x\" onmouseover=\"y<", kAllBB, OutputHtml | OutputText | OutputBBCode);
    ASSERT_TRUE(report.isOpen());
    report.beginInfoSection("Corvalis", "Info", nullptr);
    report.addItem(hostile.c_str(), nullptr, "Comment");
    report.addItem("Flush", "ing <i>commands</i>", "Method");
    report.beginGroupWithLink("in color buffer", "Color", "CSV", ".tile_c.csv");
    report.endGroup();
    ASSERT_TRUE(report.close());
  }
  const std::string blanks(31, ' ');
  const std::string html = readBytes("x\" onmouseover=\"y<.htm");
  EXPECT_NE(html.find("Comment: a  Info:Forged=1  &lt;b&gt;&amp;&quot;[/CODE][url=x]" + blanks +
                      "<br>\r\n"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("Flushing <i>commands</i><br>\r\n"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"x&quot; onmouseover=&quot;y&lt;.tile_c.csv\">CSV</a>"),
            std::string::npos);
  EXPECT_EQ(readBytes("x\" onmouseover=\"y<.txt"),
            crlf("[Corvalis 0.50]\nInfo:Comment=a  Info:Forged=1  <b>&\"[/CODE][url=x]" + blanks +
                 "\nInfo:Method=Flush\n"));
  const std::string bb = readBytes("x\" onmouseover=\"y<.bb.txt");
  EXPECT_NE(bb.find("a  Info:Forged=1  <b>&\"(/CODE](url=x]" + blanks + "\r\n"),
            std::string::npos)
      << bb;
  EXPECT_EQ(bb.find("[/CODE]"), bb.size() - 7) << "only the closing tag of the block";
}

// A failed value has no number and no data file to link to, on any report.
TEST_F(ResultReportTest, NonFiniteValuesReadTheSameInEveryReport) {
  {
    ResultReport report("results", 0, OutputHtml | OutputText | OutputBBCode | OutputJson);
    report.beginTestSection("Fillrate", "Fillrate", false);
    report.addValue(1.0 / 0.0, "Pix/s", " single", "Single");
    report.addBinaryValue(std::nan(""), "B", " cache", "RGBA", "CSV", ".rgba.csv");
    ASSERT_TRUE(report.close());
  }
  EXPECT_NE(readBytes("results.htm").find("<li>error single</li>\r\n<li>error cache</li>\r\n"),
            std::string::npos);
  const std::string bb = readBytes("results.bb.txt");
  const size_t single = bb.find("Single ");
  ASSERT_NE(single, std::string::npos) << bb;
  EXPECT_EQ(bb.find("error\r\n", single), bb.find("\r\n", single) - 5) << bb;
  const nlohmann::json values = nlohmann::json::parse(readBytes("results.json"))["values"];
  EXPECT_EQ(values["Fillrate:Single"], nlohmann::json({{"text", "error"}}));
  EXPECT_EQ(values["Fillrate:RGBA"], nlohmann::json({{"text", "error"}}));
}


// The spread of each test section comes from the samples it was given, values and
// data-file rows alike: a section without samples has none, and a failed repeat anywhere
// in a section fails its spread however large another one is.
TEST_F(ResultReportTest, LargestSpreadPerSectionFromItsOwnSamples) {
  ResultReport report("results", 0, OutputHtml | OutputText);
  report.beginInfoSection("Corvalis 0.50", "Info", nullptr);
  report.addValue(Measured(1.0, {1.0, 9.0}), nullptr, nullptr, "Ignored");
  report.beginTestSection("Fillrate", "Fillrate", false);
  report.addValue(Measured(2.0, {2.0, 2.2, 1.8}), "Pix/s", nullptr, "A");
  report.addBinaryValue(Measured(4.0, {4.0, 6.0}), "B", nullptr, "B", nullptr, nullptr);
  report.addValue(Measured(3.0, {3.0}), "Pix/s", nullptr, "One");  // a single sample: no spread
  report.beginTestSection("Geometry", "Geometry", false);
  report.addValue(5.0, "Tris/s", nullptr, "Plain");
  report.beginTestSection("Tiling", "Tiling", false);
  report.addSweep("tile_c", {{{"block", 64.0, {}}, {"widthAligned", 10.0, {10.0, 12.0}}}});
  report.beginTestSection("Readback", "Readback", false);
  report.addValue(Measured(2.0, {1.0, 10.0}), "Pix/s", nullptr, "Wide");
  report.addValue(Measured(std::nan(""), {1.0, std::nan("")}), "Pix/s", nullptr, "Lost");
  report.beginTestSection("Texturing", "Texturing", true);
  report.addValue(Measured(2.0, {1.0, 2.0}), "Pix/s", nullptr, "Skipped");
  ASSERT_TRUE(report.close());

  const std::map<std::string, double>& spreads = report.largestSpreads();
  EXPECT_EQ(spreads.size(), 3u);
  EXPECT_DOUBLE_EQ(spreads.at("Fillrate"), 1.5);
  EXPECT_DOUBLE_EQ(spreads.at("Tiling"), 1.2);
  EXPECT_TRUE(std::isnan(spreads.at("Readback")));
  EXPECT_EQ(spreads.count("Geometry"), 0u);
}

}  // namespace
}  // namespace corvalis

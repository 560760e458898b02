// Files a user hands the program, or that change behind its back, made as a hostile or
// unlucky user would: --compare on things that are no reports, reports too wide or too
// large, bytes that would steer a terminal, a malformed BASE.json, and data files
// edited between the run writing them and the charts page reading them back. Each must
// end in a clear message, a sound exit status and output of bounded size.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

const std::string Header = "[Corvalis 0.50]\r\n";

void writeFile(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(corvalis::testing::writeBytes(path, bytes)) << path;
}

// Every file --compare refuses, in either place: no regular file, no report (a page, a
// data file, 8 GB without a header), a report too wide or too large, a malformed BASE.json
// beside one. Each is named on one line (exit 2, no usage text) and nothing is written, under
// 1 GB of address space: /dev/zero never ends and a FIFO without a writer never answers, and
// both were read or waited on before; one key of 400,000 characters printed padded to its
// width took gigabytes.
TEST(HostileFiles, CompareRefusesWhatIsNoReportWithOneLine) {
  const std::string folder = makeTempFolder();
  writeFile(folder + "/a.txt", Header + "Info:Method=Flush\r\n");
  ASSERT_EQ(shellIn(folder, "mkfifo fifo && mkdir dir && truncate -s 8G huge.txt"), 0);
  std::string wideKey = Header + std::string(400000, 'K') + "=1\r\n";
  for (int i = 0; i < 40000; ++i) wideKey += "k" + std::to_string(i) + "=1\r\n";
  writeFile(folder + "/widekey.txt", wideKey);
  std::string large = Header;
  while (large.size() <= (1u << 20)) large += "Fillrate:32:Col=100.000 M Pix/s\r\n";
  writeFile(folder + "/large.txt", large);
  writeFile(folder + "/page.htm", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n");
  writeFile(folder + "/data.csv", "rgba_fetches/s,bytes\r\n64278904.0,4\r\n");
  writeFile(folder + "/b.txt", Header + "Info:Method=Swap\r\n");
  writeFile(folder + "/b.json", "{\"program\": \"Corvalis\", \"values\": {");
  const std::string noHeader = "not a Corvalis text report (no [Corvalis 0.50] header)";
  const struct {
    std::string path, named, what;
  } cases[] = {
      {"/dev/zero", "", "cannot be read: a character device, not a regular file"},
      {"fifo", "", "cannot be read: a FIFO (named pipe), not a regular file"},
      {"dir", "", "cannot be read: a directory, not a regular file"},
      {"missing.txt", "", "cannot be read: No such file or directory"},
      {"page.htm", "", noHeader},
      {"data.csv", "", noHeader},
      {"huge.txt", "", noHeader},
      {"widekey.txt", "", "line 2: longer than 4096 bytes, the limit for a line of a text report"},
      {"large.txt", "", "larger than 1 MiB, the limit for a text report"},
      {"b.txt", "b.json", "not valid JSON (at byte 36)"},
  };
  for (const auto& c : cases) {
    for (const std::string& args : {c.path + " a.txt", "a.txt " + c.path}) {
      EXPECT_EQ(shellIn(folder, "$B --compare " + args + " --output cmp >out 2>err", 1000000), 2)
          << args;
      EXPECT_EQ(readBytes(folder + "/err"), "corvalis: --compare: " +
                                                (c.named.empty() ? c.path : c.named) + ": " +
                                                c.what + "\n");
      EXPECT_EQ(readBytes(folder + "/out"), "") << args;
      EXPECT_FALSE(fileExists(folder + "/cmp.compare.htm")) << args;
    }
  }
}

// Keys and values of 2,000 characters over 40,000 rows: every column is cut to 96
// characters, so the table grows with the rows alone; the page keeps them whole.
TEST(HostileFiles, CompareCutsWideColumnsAndSaysSo) {
  const std::string folder = makeTempFolder();
  const std::string key(2000, 'K'), value(2000, 'V');
  std::string wide = Header + key + "=" + value + "\r\n";
  for (int i = 0; i < 40000; ++i) wide += "k" + std::to_string(i) + "=1\r\n";
  writeFile(folder + "/wide.txt", wide);
  writeFile(folder + "/a.txt", Header + "k7=2\r\n");
  ASSERT_EQ(shellIn(folder, "$B --compare wide.txt a.txt --output cmp >out 2>err", 1000000), 0)
      << readBytes(folder + "/err");
  const std::string out = readBytes(folder + "/out");
  size_t longest = 0, lines = 0;
  for (size_t start = 0, end; start < out.size(); start = end + 1, ++lines) {
    end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    longest = std::max(longest, end - start);
  }
  EXPECT_EQ(lines, 1u + 40001u + 2u + 2u);  // heading, rows, two notes, "Comparison:" and path
  EXPECT_LE(longest, 4u * (96 + 2) + 10) << "a row wider than four bounded columns";
  EXPECT_TRUE(contains(out, "\n" + key.substr(0, 93) + "...  " + value.substr(0, 93) + "...  (missing)\n"));
  EXPECT_TRUE(contains(out, "texts longer than 96 characters are cut and end in \"...\""));
  EXPECT_TRUE(std::regex_search(out, std::regex("\nk7 +1 +2 +2\\.000 \\*\n"))) << out.substr(0, 2000);
  const std::string page = readBytes(folder + "/cmp.compare.htm");
  EXPECT_TRUE(contains(page, "<tr><td>" + key + "</td><td>" + value + "</td>"));
  EXPECT_TRUE(readBytes(folder + "/err").empty());
}

// A NUL, an OSC title sequence, a carriage return, DEL and C1 controls in keys and
// values: the table and the page show blanks for them, run to their end, and the page
// is whole.
TEST(HostileFiles, CompareCleansControlBytesAndWritesByLength) {
  const std::string folder = makeTempFolder();
  writeFile(folder + "/evil.txt",
            Header + std::string("Info:Driver=ab\0cd\r\n", 19) +
                "Info:Esc=x\x1B]0;pwned\x07y\rOVER\x7F\x85\x9B" "1m\r\n"
                "Key\x1B[2J=1.000 M Pix/s\r\n");
  writeFile(folder + "/a.txt", Header + "Info:Driver=llvmpipe\r\nKey\x1B[2J=2.000 M Pix/s\r\n");
  RunResult r = runCorvalis({"--compare", "evil.txt", "a.txt", "--output", "cmp"}, {}, folder);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\nInfo:Driver +ab cd +llvmpipe\n"))) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\nInfo:Esc +x \\]0;pwned y OVER   1m +\\(missing\\)\n")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\nKey \\[2J +1\\.000 M Pix/s +2\\.000 M Pix/s +2\\.000 \\*\n")))
      << r.out;
  EXPECT_TRUE(contains(r.out, "Comparison:\n"));
  const std::string page = readBytes(r.folder + "/cmp.compare.htm");
  EXPECT_TRUE(contains(page, "<td>ab cd</td>")) << page;
  EXPECT_TRUE(contains(page, "<td>x ]0;pwned y OVER   1m</td>")) << page;
  const std::string end = "</table>\r\n</body>\r\n</html>\r\n";
  ASSERT_GT(page.size(), end.size());
  EXPECT_EQ(page.substr(page.size() - end.size()), end);
  // No control byte but the line ends: C0, DEL, and C1 as a byte (the page) or as
  // UTF-8 (the terminal).
  for (const std::string* text : {static_cast<const std::string*>(&r.out), &page}) {
    for (size_t i = 0; i < text->size(); ++i) {
      const unsigned char byte = static_cast<unsigned char>((*text)[i]);
      const bool c1 = text == &page ? byte >= 0x80 && byte <= 0x9F
                                    : byte == 0xC2 && i + 1 < text->size() &&
                                          static_cast<unsigned char>((*text)[i + 1]) <= 0x9F;
      EXPECT_FALSE((byte < 0x20 && byte != '\n' && byte != '\r') || byte == 0x7F || c1)
          << "control byte " << static_cast<int>(byte) << " at " << i;
    }
  }
}

// The charts page reads the data files back after the run: one edited in between must
// not reach the SVG as nan or infinity, nor lose the axis its ticks. The edit is made
// by a library loaded under the program that replaces the file right after its rename.
TEST(HostileFiles, TamperedChartDataIsLeftOutWithANote) {
  const struct {
    const char* csv;
    const char* note;
  } cases[] = {
      // A subnormal rate, a working set of 1e308, a negative rate, not a number, infinity.
      {"rgba_fetches/s,bytes\r\n64278904.0,4\r\n4.94e-324,8\r\n33670472.0,1e308\r\n"
       "-5,32\r\nnan,64\r\n80366168.0,inf\r\n20000000.0,256\r\n",
       "Left out of this chart: 5 values that no measurement gives"},
      // Nothing left to draw: the axes still get their ticks.
      {"rgba_fetches/s,bytes\r\n4.94e-324,4\r\n4.94e-324,8\r\n",
       "Left out of this chart: 2 values that no measurement gives"},
  };
  for (const auto& c : cases) {
    const std::string folder = makeTempFolder();
    writeFile(folder + "/tampered.csv", c.csv);
    const RunResult r = runCorvalis({"-64x48", "--tests", "texcache", "--output", "t"},
                                    {{"LD_PRELOAD", CORVALIS_TAMPER_LIBRARY},
                                     {"CORVALIS_TAMPER_SUFFIX", "t.rgba.csv"},
                                     {"CORVALIS_TAMPER_WITH", folder + "/tampered.csv"}},
                                    folder);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readBytes(folder + "/t.rgba.csv"), c.csv) << "the edit did not happen";
    const std::string page = readBytes(folder + "/t.charts.htm");
    const size_t begin = page.find("Texture cache: RGBA textures");
    ASSERT_NE(begin, std::string::npos) << r.err;
    const std::string chart = page.substr(begin, page.find("</figure>", begin) - begin);
    EXPECT_TRUE(contains(chart, c.note)) << chart;
    EXPECT_FALSE(std::regex_search(chart, std::regex("=\"[^\"]*(nan|inf)"))) << chart;
    // The axes keep their tick labels (the y labels end left of the plot at x 84).
    EXPECT_GE(occurrences(chart, "<text x=\"84.0\""), 2u) << chart;
    EXPECT_GE(occurrences(chart, "y=\"338.0\" text-anchor=\"middle\">"), 2u) << chart;
  }
}

}  // namespace
